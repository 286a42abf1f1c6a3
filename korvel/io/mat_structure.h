// SPDX-License-Identifier: MIT
// A structural check of a MATLAB file (read into memory, up to 4 GiB) before matio reads
// it. matio allocates what a variable's header claims (its name length, its dimensions)
// before finding that the file is shorter; this walk refuses a file whose headers claim
// more bytes than it holds.
//
// Level 4: every variable header, name and data block must fit, back to back, exactly to
// the end. Level 5: every top-level element must fit; a matrix's flags, dimensions, name
// and the cells or fields it holds must fit in it, and it cannot claim more elements than
// it has bytes (sparse matrices aside). Compressed elements are inflated and checked alike,
// up to kMaxInflationRatio times their compressed size. Level 7.3 files are HDF5 and left
// to that library.
#pragma once

#include <cstdint>
#include <filesystem>

namespace korvel::io {

// How much larger than its compressed bytes a variable may be. Recorded signals deflate by a
// few times, a flat line by a few hundred; deflate's own limit (about 1032) let a 1 MB file
// take a gigabyte, so a file beyond this is refused as a decompression bomb.
inline constexpr std::uint64_t kMaxInflationRatio = 256;

void check_mat_structure(const std::filesystem::path& file);

}  // namespace korvel::io
