// SPDX-License-Identifier: MIT
// Storage formats of WFDB signal files: how many bytes a run of samples takes and how the
// bytes turn into ADC values. Several signals share one stream, interleaved by frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvel::io {

bool is_supported_wfdb_format(int format);
std::string supported_wfdb_formats();  // for messages, e.g. "8, 16, ..."

// Bytes that `samples` consecutive samples occupy; saturates at UINT64_MAX.
std::uint64_t wfdb_bytes_for(int format, std::uint64_t samples);
// Complete samples held in `bytes` bytes.
std::uint64_t wfdb_samples_in(int format, std::uint64_t bytes);

// Decodes the first `count` samples of a stream into `samples` (resized to `count`; a
// buffer reused from piece to piece is allocated once); `bytes` holds at least
// wfdb_bytes_for(format, count). Format 8 yields the stored first differences. An unknown
// format yields no samples.
void decode_wfdb_samples(int format, std::span<const std::uint8_t> bytes, std::size_t count, std::vector<std::int32_t>& samples);

// The value a format stores where there is no sample (a lead off, a gap), if it has one.
std::optional<std::int32_t> wfdb_invalid_value(int format);

}  // namespace korvel::io
