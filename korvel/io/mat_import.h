// SPDX-License-Identifier: MIT
// MATLAB .mat files (levels 4, 5 and 7.3, read through matio) holding one real numeric
// matrix of samples. Its longer dimension is time: a matrix of channels x samples and one
// of samples x channels read alike; a square matrix has a channel per column, as MATLAB
// code usually stores signals. The sampling rate comes from a real scalar variable named
// fs, sampling_rate, samplingrate, sample_rate, samplerate, srate or fs_hz, in any case.
#pragma once

#include <filesystem>
#include <string>

#include "korvel/io/recording.h"

namespace korvel::io {

// `variable` names the matrix to read; empty means the file's one numeric variable with
// more than one element. `sampling_rate_hz` (> 0) serves when the file has no rate
// variable; a file's own rate takes precedence.
Recording read_mat(const std::filesystem::path& file, const std::string& variable, double sampling_rate_hz);

}  // namespace korvel::io
