# SPDX-License-Identifier: MIT
# The built module (build/python, or $HRV_BUILD_DIR/python) and the shared recordings
# (../shared/data, or $HRV_SHARED_DATA).
import os
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("HRV_BUILD_DIR", ROOT / "build")).resolve()
sys.path.insert(0, str(BUILD / "python"))
os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(BUILD / "python"), os.environ.get("PYTHONPATH")]))
TOOL = BUILD / "apps" / "korvel-hrv"
DATA = Path(os.environ.get("HRV_SHARED_DATA", ROOT.parent / "shared" / "data"))


@pytest.fixture(scope="session")
def data():
    if not (DATA / "mitdb" / "100.hea").exists():
        pytest.skip(f"the shared recordings are not in {DATA} (set HRV_SHARED_DATA)")
    return DATA
