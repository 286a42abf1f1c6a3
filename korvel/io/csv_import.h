// SPDX-License-Identifier: MIT
// Delimited text (.csv, .tsv, .txt): one row per sample, one column per channel.
//
// - The delimiter is a tab if the first line has one, else a semicolon, else a comma; with
//   tabs or semicolons a decimal comma ("1,5") is read as a decimal point.
// - A first line with a field that is not a number is the header: it names the channels,
//   and "ECG (mV)" or "ECG [mV]" gives the unit too. Without one, channels are "channel N".
// - Time comes from a first column named time, t, s, sec, seconds, time_s or time_ms (its
//   unit s or ms); else from the caller's sampling rate; else from a first column that is
//   numeric and strictly increasing. Otherwise the file is refused.
// - Time steps must be regular: each within 1% of the median step plus the resolution the
//   times are written with (one unit in their last decimal, at most half the median step).
//   Gaps or jitter beyond that are refused with the line number.
// - Empty fields, "nan" and "NA" are NaN; blank lines and lines starting with '#' are skipped.
#pragma once

#include <filesystem>
#include <string_view>

#include "korvel/io/recording.h"

namespace korvel::io {

// `sampling_rate_hz` (> 0) serves when the text has no named time column. Bad input throws
// ImportError naming `source` and the line.
Record parse_delimited_text(std::string_view text, double sampling_rate_hz, const std::filesystem::path& source);

Recording read_delimited_text(const std::filesystem::path& file, double sampling_rate_hz);

}  // namespace korvel::io
