// SPDX-License-Identifier: MIT
// Runs the HRV detection chain on a recording inside the stand-in host, the way an analysis
// does: the extension's detector defines its seven computed channels in a host document, the
// host evaluates them (its signal functions, then the extension's fiducial enumerator) and
// the beats are read back through the host's event reader.
#pragma once

#include <filesystem>
#include <vector>

#include "hrv/core/fiducial_event.h"

namespace integration {

struct DetectedBeats {
  std::vector<double> times;  // seconds on the document's time axis
  std::vector<HRV::FiducialEvent> events;
};

// Detects the beats of `signal` in the recording at `path` with species preset `preset`.
DetectedBeats detect_beats(const std::filesystem::path& path, int signal, int preset);

}  // namespace integration
