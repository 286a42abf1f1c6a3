// SPDX-License-Identifier: MIT
// A cohort analysed recording by recording: each recording in its own process (the tool
// running its own analyze command) into OUT/<id>/, so that a crash or a failure costs that
// recording only, and a rerun redoes only what did not finish.
#pragma once

#include <filesystem>

#include "apps/korvel-hrv/manifest.h"

namespace korvel_hrv {

// OUT/<id>/complete, written last: the arguments the recording was analysed with. A
// recording is finished when it holds the arguments its row asks for now.
inline constexpr const char* kCompleteMarker = "complete";
// OUT/<id>/failure.txt: what the analysis said when it failed.
inline constexpr const char* kFailureFile = "failure.txt";

enum class RecordingOutcome { Analysed, AlreadyDone, Failed };

// Analyses `row` into out/<id>/ by running `tool` (the korvel-hrv executable) unless it is
// finished already; a failure leaves its message in out/<id>/failure.txt.
RecordingOutcome run_recording(const std::filesystem::path& tool, const ManifestRow& row, const std::filesystem::path& out);

// The batch command: every row of `manifest`, `jobs` at a time, then OUT/cohort.csv and
// OUT/failures.csv; progress on stderr. Returns 0, or 1 when a recording failed.
int batch(const std::filesystem::path& manifest, const std::filesystem::path& out, int jobs);

}  // namespace korvel_hrv
