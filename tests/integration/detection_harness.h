// SPDX-License-Identifier: MIT
// Runs the HRV detection chain on a recording inside the stand-in host, the way an analysis
// does: the extension's detector defines its seven computed channels in a host document, the
// host evaluates them (its signal functions, then the extension's fiducial enumerator) and
// the beats are read back through the host's event reader.
#pragma once

#include <filesystem>
#include <vector>

#include "hrv/engine/fiducial_event.h"
#include "korvel/io/recording.h"

namespace integration {

struct DetectedBeats {
  std::vector<double> times;  // seconds on the document's time axis
  std::vector<HRV::FiducialEvent> events;
};

// Detects the beats of `signal` in the recording at `path` with species preset `preset`.
DetectedBeats detect_beats(const std::filesystem::path& path, int signal, int preset);
DetectedBeats detect_beats(korvel::io::Recording recording, int signal, int preset);

// The same, but the host records the first record's samples as if it were sampling them
// live, in blocks of random length (at most `maxBlock` ticks, from `seed`), and the beats are
// read after every block through one reader over the open end. At most `seconds` of data.
DetectedBeats detect_beats_while_sampling(const std::filesystem::path& path, int signal, int preset, double seconds,
                                          unsigned seed, int maxBlock);
DetectedBeats detect_beats_while_sampling(const korvel::io::Recording& recording, int signal, int preset, double seconds,
                                          unsigned seed, int maxBlock);

}  // namespace integration
