// SPDX-License-Identifier: MIT
// Beat-by-beat comparison of detected beats with reference beats: one-to-one matching of
// beat times within a window, as detector accuracy is conventionally reported.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace korvel_hrv {

struct BeatComparison {
  std::size_t truePositives = 0;   // reference beats matched by a detected beat
  std::size_t falseNegatives = 0;  // reference beats without a match
  std::size_t falsePositives = 0;  // detected beats without a match
  double medianOffsetSec = 0.0;    // median of (detected − reference) over matched pairs, s; NaN without any

  double sensitivity() const;            // TP / (TP + FN), 0..1; NaN without reference beats
  double positivePredictivity() const;   // TP / (TP + FP), 0..1; NaN without detected beats
};

// Matches each reference time with at most one detected time no further than `window`
// seconds away. Closest pairs are matched first, so a beat near two candidates takes the
// nearer one. Both lists are in seconds, in any order.
BeatComparison compare_beats(std::vector<double> detected, std::vector<double> reference, double window);

// Beat times in seconds from a file, recognised by its content: the project's beats.csv
// (column time_s) or a WFDB annotation file (beat codes only, on the annotation's own time
// base). Throws std::runtime_error naming the file when it is neither or cannot be read.
std::vector<double> read_beat_times(const std::filesystem::path& file);

}  // namespace korvel_hrv
