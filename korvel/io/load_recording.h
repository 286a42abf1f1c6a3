// SPDX-License-Identifier: MIT
// The host's one entry point for opening a recording file, whatever its format.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "korvel/io/beat_import.h"
#include "korvel/io/recording.h"

namespace korvel::io {

struct LoadOptions {
  // Samples per second for delimited text without a time column and MAT files without a
  // rate variable; 0 = not given.
  double sampling_rate_hz = 0.0;
  // MAT: the variable holding the samples; empty = the file's only numeric matrix.
  std::string mat_variable;
  // WFDB: refuse signals whose sum disagrees with the header's checksum (a damaged file).
  bool verify_checksums = true;
  // What the file holds; unset: recognised from its content (recognise_input).
  std::optional<InputKind> input;
};

// Reads a recording. Beats (annotations, an RR list) become a recording of beat events
// (beat_import.h); a signal file's importer is chosen by extension (case-insensitive):
// .hea/.dat WFDB, .edf/.bdf/.rec EDF(+)/BDF(+), .mat MATLAB, .csv/.tsv/.txt delimited text.
// Every failure throws ImportError whose message names the file and what is wrong.
Recording load_recording(const std::filesystem::path& path, const LoadOptions& options = {});

}  // namespace korvel::io
