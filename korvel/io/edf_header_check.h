// SPDX-License-Identifier: MIT
// A field-by-field check of an EDF or BDF header before EDFlib reads it. EDFlib answers
// every malformed header with one code; this names the field that is wrong, so that a
// damaged file can be told from another.
#pragma once

#include <filesystem>

namespace korvel::io {

// Fails naming the file, the field and what it holds when a field of the fixed header or of
// a signal's header is malformed or the header is shorter than it says.
void check_edf_header(const std::filesystem::path& file);

}  // namespace korvel::io
