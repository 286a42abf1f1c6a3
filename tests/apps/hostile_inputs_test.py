# SPDX-License-Identifier: MIT
"""Hostile and careless inputs to korvel-hrv, grouped as the faults they once caused: each run
must end with exit 0 (correct output) or 1/2 and a message naming the problem, within its time
and 1 GiB of address space, and leave a folder that held a good analysis byte for byte as it
was. Usage: hostile_inputs_test.py TOOL"""
import hashlib, json, os, re, resource, shutil, struct, subprocess, sys, tempfile, zlib

TOOL = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp(prefix="hostile-")
failures = []


def path(*parts):
    return os.path.join(work, *parts)


def write(name, data):
    with open(path(name), "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)
    return path(name)


def limited():
    resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))


def run(*args, timeout=30):
    try:
        return subprocess.run([TOOL, *args], capture_output=True, timeout=timeout, preexec_fn=limited, cwd=work)
    except subprocess.TimeoutExpired:
        return None


def snapshot(folder):
    out = {}
    for root, _, files in os.walk(folder):
        for f in files:
            with open(os.path.join(root, f), "rb") as data:
                out[os.path.relpath(os.path.join(root, f), folder)] = hashlib.sha256(data.read()).hexdigest()
    return out


def check(group, name, args, status, message, good=None):
    """`status`: the exit statuses allowed; `message`: a pattern stderr must hold."""
    before = snapshot(good) if good else None
    r = run(*args)
    label = f"{group}: {name}"
    if r is None:
        failures.append(f"{label}: no answer within 30 s")
        return
    err = r.stderr.decode("utf-8", "replace")
    if r.returncode not in status:
        failures.append(f"{label}: exit {r.returncode}, expected {status}; stderr: {err[-400:]}")
    elif message and not re.search(message, err):
        failures.append(f"{label}: stderr does not say /{message}/: {err[-400:]}")
    if re.search(r"bad_alloc|terminate called|what\(\)|HDF5-DIAG", err):
        failures.append(f"{label}: exception text reached the user: {err[-400:]}")
    if good and snapshot(good) != before:
        failures.append(f"{label}: the output folder changed")


def document_with_settings_value(document, packed, new):
    """The document with the stored setting whose bytes are `packed` replaced by `new`, the
    section's checksum made right again."""
    data = bytearray(open(document, "rb").read())
    at = 16
    for _ in range(struct.unpack_from("<I", data, 12)[0]):
        tag, length, _ = struct.unpack_from("<4sII", data, at)
        payload = at + 12
        if tag == b"ITEM":
            i = data.index(packed, payload, payload + length)
            data[i:i + len(new)] = new
            struct.pack_into("<I", data, at + 8, zlib.crc32(bytes(data[payload:payload + length])))
        at = payload + length
    return bytes(data)


def wfdb(name, record_line, signal_lines, dat=b"\0" * 4000):
    write(name + ".dat", dat)
    return write(name + ".hea", record_line + "\n" + "".join(f"{name}.dat {s}\n" for s in signal_lines))


def edf(**fields):
    """A one-signal EDF file of two 1-s records of 100 samples, with header fields replaced by
    their byte offset: {"o236": "9999"}."""
    head = ("0".ljust(8) + "X".ljust(80) + "X".ljust(80) + "01.01.20" + "00.00.00" + "512".ljust(8) + "".ljust(44) +
            "2".ljust(8) + "1".ljust(8) + "1".ljust(4) + "ECG".ljust(16) + "".ljust(80) + "mV".ljust(8) + "-5".ljust(8) +
            "5".ljust(8) + "-32768".ljust(8) + "32767".ljust(8) + "".ljust(80) + "100".ljust(8) + "".ljust(32))
    head = bytearray(head.encode())
    for key, text in fields.items():
        head[int(key[1:]):int(key[1:]) + len(text)] = text.encode() if isinstance(text, str) else text
    return bytes(head) + b"\0" * 400


# A good analysis to protect, and the recording everything else varies.
subprocess.run([TOOL, "synthesize", path("rec", "ecg.hea"), "--minutes", "1"], check=True, capture_output=True)
ecg = path("rec", "ecg.hea")
good = path("good")
subprocess.run([TOOL, "analyze", ecg, "--out", good], check=True, capture_output=True)
write("a.json", json.dumps({"SDARRPeriodSec": 300, "FrequencyCount": 4321, "MaxRR": 1.234567}))
subprocess.run([TOOL, "analyze", ecg, "--settings", path("a.json"), "--out", path("sdarr")], check=True, capture_output=True)
shutil.copy(path("sdarr", "document.korvel"), path("sdarr", "good.korvel"))

# 1. Crashes.
write("deep.json", "[" * 100000 + "]" * 100000)
check("crash", "settings nested 100,000 deep", ["analyze", ecg, "--settings", path("deep.json"), "--out", good], {1, 2}, "nest", good)

# 2. Hangs and loaded values outside their ranges.
for name, old, new in (("SDARRPeriodSec", 300.0, 1e-300), ("SDARRPeriodSec", 300.0, -5.0), ("SDARRPeriodSec", 300.0, float("nan")),
                       ("FrequencyCount", 4321, 2147483647), ("MaxRR", 1.234567, -1.0)):
    fmt = "<i" if isinstance(old, int) else "<d"
    doc = write("sdarr/document.korvel", document_with_settings_value(path("sdarr", "document.korvel"), struct.pack(fmt, old), struct.pack(fmt, new)))
    check("loaded settings", f"{name} {new}", ["edit", doc, "reanalyze"], {0}, name)
    write("sdarr/document.korvel", open(path("sdarr", "good.korvel"), "rb").read())

# 3. Memory without bound from small inputs.
multirate = wfdb("multi", "multi 1001 250 900", ["16 200 16 0 0 0 0 fast"] + ["16 200 16 0 0 0 0 slow"] * 1000,
                 b"\0" * 4_000_000)
with open(multirate) as f:
    text = f.read().replace("multi.dat 16 200 16 0 0 0 0 fast", "multi.dat 16x1024 200 16 0 0 0 0 fast")
write("multi.hea", text)
check("memory", "1,024 samples per frame beside 1,000 slow signals", ["analyze", multirate, "--out", good], {1}, "per stored sample", good)
write("fine.json", json.dumps({"BinWidthSec": 1e-6, "AutoBinWidth": False}))
check("memory", "1 us histogram bins", ["analyze", ecg, "--settings", path("fine.json"), "--out", good], {1}, "BinWidthSec", good)
check("memory", "table --step 1e-6", ["table", ecg, "--window", "30", "--step", "1e-6"], {2}, "--step 1e-06 gives")
check("memory", "compare-beats --window 1e308", ["compare-beats", path("good", "beats.csv"), path("good", "beats.csv"), "--window", "1e308"], {2}, "--window")
bomb = zlib.compress(b"\0" * (64 << 20), 9)
element = struct.pack("<II", 15, len(bomb)) + bomb
mat_header = b"MATLAB 5.0 MAT-file".ljust(116) + b"\0" * 8 + struct.pack("<H", 0x0100) + b"IM"
check("memory", "zlib bomb in a MAT file", ["analyze", write("bomb.mat", mat_header + element + b"\0" * (-len(element) % 8)), "--out", good], {1}, "bomb", good)
check("memory", "10 MB one-line CSV", ["analyze", write("wide.csv", "1," * 5_000_000 + "1\n"), "--out", good], {1}, "columns", good)

# 4. Outputs mixed or lost.
os.makedirs(path("planted"))
write("victim.txt", "keep")
for name in ("results.json.tmp", "beats.csv.tmp", "rr.txt.tmp", "document.korvel.saving"):
    os.symlink(path("victim.txt"), path("planted", name))
check("outputs", "planted temporary-name links", ["analyze", ecg, "--out", path("planted")], {0}, None)
if open(path("victim.txt")).read() != "keep":
    failures.append("outputs: a planted link was followed")
odd = path(b"out-\xff\xfe".decode("utf-8", "surrogateescape"))
check("outputs", "output folder not UTF-8", ["analyze", ecg, "--out", odd], {0}, None)
if not os.path.exists(os.path.join(odd, "rr.txt")):
    failures.append("outputs: no rr.txt in a folder whose name is not UTF-8")
os.makedirs(path("odd"), exist_ok=True)
oddrec = path("odd", b"r\xe9c.hea".decode("utf-8", "surrogateescape"))
shutil.copy(path("rec", "ecg.dat"), path("odd", "ecg.dat"))
shutil.copy(ecg, oddrec)
check("outputs", "recording name not UTF-8", ["analyze", oddrec, "--out", path("odd")], {0}, None)
check("outputs", "its document reopened", ["edit", path("odd", "document.korvel"), "add-beat", "10"], {0}, None)
with open(oddrec, "a") as f:
    f.write("# a comment added since\n")
check("outputs", "recording changed after an edit", ["edit", path("odd", "document.korvel"), "add-beat", "12"], {1}, "changed", path("odd"))
check("outputs", "changed recording re-attached", ["edit", path("odd", "document.korvel"), "add-beat", "12", "--reattach"], {0}, None)

# 5. A header may name only files beside it.
for name, file in (("parent", "../rec/ecg.dat"), ("absolute", "/etc/passwd")):
    check("paths", f"signal file {file}", ["analyze", write(f"{name}.hea", f"{name} 1 500 100\n{file} 16 200 16 0 0 0 0 x\n"), "--out", good], {1}, "folder", good)

# 6. Exit statuses and messages.
for args, status, message in (
        (["analyze", ecg, "--rate", "0"], 2, "0 Hz is outside"), (["analyze", ecg, "--rate", "-5"], 2, "-5 Hz is outside"),
        (["analyze", ecg, "--rate", "nan"], 2, "nan Hz is outside"), (["sample", ecg, "--block", "1e300"], 2, "--block"),
        (["edit", path("good", "document.korvel"), "add-beat", "nan"], 2, "add-beat nan"),
        (["edit", path("good", "document.korvel"), "add-beat", "1e300"], 1, "outside the recording"),
        (["analyze", ecg, "--no-such-option"], 2, "no-such-option"), (["frobnicate"], 2, "subcommand")):
    check("usage", " ".join(args[:1] + args[2:]), args + ["--out", good] * (args[0] in ("analyze", "sample")), {status}, message, good)
for name, header, message in (("1e12 Hz", "f 1 1e12 100", "1e\\+12 Hz"), ("1e-300 Hz", "f 1 1e-300 100", "1e-300 Hz")):
    check("ranges", f"sampling frequency {name}", ["analyze", wfdb("f", header, ["16 200 16 0 0 0 0 x"]), "--out", good], {1}, message, good)
check("ranges", "gain 1e-300", ["analyze", wfdb("g", "g 1 500 100", ["16 1e-300 16 0 0 0 0 x"]), "--out", good], {1}, "gain", good)
check("ranges", "CSV at 1e-300 s steps", ["analyze", write("t.csv", "time,x\n0,1\n1e-300,2\n2e-300,3\n"), "--out", good], {1}, "Hz is outside", good)
messages = set()
for name, fields in (("version", {"o0": "1"}), ("start date", {"o168": "1x.01.20"}), ("header size", {"o184": "999"}),
                     ("records", {"o236": "abc"}), ("duration", {"o244": "0"}), ("signals", {"o252": "0"}),
                     ("physical range", {"o360": "5       "}), ("digital range", {"o376": "32767   "}),
                     ("samples per record", {"o472": "0"}), ("cut short", {"o236": "9"})):
    r = run("analyze", write(f"{name}.edf", edf(**fields)), "--out", good)
    message = r.stderr.decode("utf-8", "replace") if r else ""
    messages.add(message)
    check("EDF", name, ["analyze", path(f"{name}.edf"), "--out", good], {1}, ".", good)
if len(messages) != 10:
    failures.append(f"EDF: 10 damaged files gave {len(messages)} different messages")
v73 = b"MATLAB 7.3 MAT-file".ljust(116) + b"\0" * 8 + struct.pack("<H", 0x0200) + b"IM"
r = run("analyze", write("v73.mat", v73.ljust(512, b"\0") + b"\x89HDF\r\n\x1a\n" + b"\7" * 300), "--out", good)
if r is None or r.returncode != 1 or r.stderr.count(b"\n") != 1:
    failures.append(f"MAT v7.3: expected one line and exit 1, got {r and r.returncode}: {r and r.stderr[-400:]}")

# A full disk, on a file system of its own with room for the good set and 200 KiB more,
# where a user namespace allows one.
room = sum(os.path.getsize(os.path.join(r, f)) + 4096 for r, _, fs in os.walk(good) for f in fs) // 1024 + 200
script = f"""set -e
mount -t tmpfs -o size={room}k tmpfs "$1"
cp -r {good} "$1/good"
(cd "$1/good" && find . -type f | sort | xargs sha256sum) > {path("before.txt")}
"{TOOL}" analyze {path("rec", "ecg.hea")} --out "$1/good" 2>{path("full.txt")} && exit 3 || true
(cd "$1/good" && find . -type f | sort | xargs sha256sum) > {path("after.txt")}
"""
os.makedirs(path("disk"))
r = subprocess.run(["unshare", "-rm", "sh", "-c", script, "sh", path("disk")], capture_output=True, timeout=60)
if r.returncode == 0:
    if open(path("before.txt")).read() != open(path("after.txt")).read():
        failures.append("full disk: the output folder changed")
    if "No space left" not in open(path("full.txt")).read():
        failures.append("full disk: the failure does not say the disk is full: " + open(path("full.txt")).read())
elif r.returncode == 3:
    failures.append("full disk: an analysis succeeded on a full disk")
else:
    print(f"full disk: skipped, no tmpfs in a user namespace here ({r.stderr.decode().strip()[:200]})")

shutil.rmtree(work, ignore_errors=True)
for f in failures:
    print("FAILED", f)
print(f"hostile inputs: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
