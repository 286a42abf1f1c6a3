// SPDX-License-Identifier: MIT
// Primitives of the earlier (pre-version-6) persisted format, still read when an old
// document is opened: tagged block headers and the strings that some blocks carry.
//
// Every reader here throws HResultError when the data cannot belong to a block it knows:
// HRV_E_WRONG_TAG for an unexpected tag, HRV_E_WRONG_BLOCK_VERSION for an unknown block
// version or an unreadable string. A stream that simply ends is not an exception: the
// BinaryReader enters its error state, later reads do nothing, and the caller decides at
// the end of the block with `require_complete`.
//
// String format. A string is
//   int32  encoding    1 = UTF-16 little-endian (the only encoding ever written)
//   int32  length      number of UTF-16 code units, 0 to kMaxStringUnits, no terminator
//   length x uint16    the text
// The old readers never need the text itself, so only skipping and (for building test
// streams and keeping the format in one place) writing are offered.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "sdk/cpp/binary_stream.h"
#include "sdk/hrv/result_codes.h"

namespace HRV::tagged_blocks {

inline constexpr std::int32_t kStringEncodingUtf16 = 1;
// Longest string accepted; anything longer is taken as a damaged block rather than read.
inline constexpr std::int32_t kMaxStringUnits = 1 << 16;

// Reads an int32 tag; throws HRV_E_WRONG_TAG unless it equals `expected`. A stream that
// ends before the tag counts as a wrong tag, because the block cannot be there.
void expect_tag(BinaryReader& in, std::int32_t expected);

// Reads an int32 block version; throws HRV_E_WRONG_BLOCK_VERSION unless it is one of
// `accepted` (or the stream ended first). Returns the version.
std::int32_t read_block_version(BinaryReader& in, std::initializer_list<std::int32_t> accepted);

// A block header: tag, then block version.
std::int32_t read_block_header(BinaryReader& in, std::int32_t tag, std::initializer_list<std::int32_t> accepted);

// Skips one string. Throws HRV_E_WRONG_BLOCK_VERSION for an unknown encoding or a length
// outside 0..kMaxStringUnits; a stream that ends inside the string only fails `in`.
void skip_string(BinaryReader& in);

// Writes one string in the format above.
void write_string(BinaryWriter& out, std::u16string_view text);

// Throws E_FAIL when `in` ran past the end of the stream, i.e. the block was not read to
// its end.
void require_complete(const BinaryReader& in);

}  // namespace HRV::tagged_blocks
