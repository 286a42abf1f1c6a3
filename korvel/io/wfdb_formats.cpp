// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_formats.h"

#include <limits>

namespace korvel::io {
namespace {

// Stored bits per sample; format 212 packs two 12-bit samples into three bytes.
int bits_per_sample(int format) {
  switch (format) {
    case 8:
    case 80:
      return 8;
    case 212:
      return 12;
    case 16:
    case 61:
    case 160:
      return 16;
    case 24:
      return 24;
    case 32:
      return 32;
    default:
      return 0;
  }
}

std::int32_t sign_extend(std::uint32_t value, int bits) {
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int32_t>((value ^ sign) - sign);
}

}  // namespace

bool is_supported_wfdb_format(int format) { return bits_per_sample(format) != 0; }

std::string supported_wfdb_formats() { return "8, 16, 24, 32, 61, 80, 160 and 212"; }

std::uint64_t wfdb_bytes_for(int format, std::uint64_t samples) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  if (format == 212) return samples > kMax / 2 ? kMax : samples / 2 * 3 + (samples % 2) * 2;
  const std::uint64_t width = static_cast<std::uint64_t>(bits_per_sample(format) / 8);
  return samples > kMax / width ? kMax : samples * width;
}

std::uint64_t wfdb_samples_in(int format, std::uint64_t bytes) {
  if (format == 212) return bytes / 3 * 2 + (bytes % 3 == 2 ? 1 : 0);
  return bytes / static_cast<std::uint64_t>(bits_per_sample(format) / 8);
}

void decode_wfdb_samples(int format, std::span<const std::uint8_t> bytes, std::size_t count, std::vector<std::int32_t>& samples) {
  samples.resize(count);
  const std::uint8_t* b = bytes.data();
  switch (format) {
    case 8:
      for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int8_t>(b[i]);
      break;
    case 80:  // offset binary
      for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int32_t>(b[i]) - 128;
      break;
    case 16:
      for (std::size_t i = 0; i < count; ++i) samples[i] = sign_extend(b[2 * i] | b[2 * i + 1] << 8, 16);
      break;
    case 61:  // big-endian
      for (std::size_t i = 0; i < count; ++i) samples[i] = sign_extend(b[2 * i] << 8 | b[2 * i + 1], 16);
      break;
    case 160:  // offset binary
      for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int32_t>(b[2 * i] | b[2 * i + 1] << 8) - 32768;
      break;
    case 24:
      for (std::size_t i = 0; i < count; ++i) {
        samples[i] = sign_extend(b[3 * i] | b[3 * i + 1] << 8 | static_cast<std::uint32_t>(b[3 * i + 2]) << 16, 24);
      }
      break;
    case 32:
      for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int32_t>(b[4 * i] | b[4 * i + 1] << 8 | b[4 * i + 2] << 16 |
                                               static_cast<std::uint32_t>(b[4 * i + 3]) << 24);
      }
      break;
    case 212:
      // Three bytes hold two samples: the first in byte 0 and the low nibble of byte 1, the
      // second in byte 2 and the high nibble of byte 1.
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* group = b + i / 2 * 3;
        const std::uint32_t value =
            i % 2 == 0 ? group[0] | (group[1] & 0x0Fu) << 8 : group[2] | (group[1] & 0xF0u) << 4;
        samples[i] = sign_extend(value, 12);
      }
      break;
    default:
      samples.clear();
  }
}

std::optional<std::int32_t> wfdb_invalid_value(int format) {
  switch (format) {
    case 8:
      return std::nullopt;  // differences have no spare code
    case 80:
      return -128;
    case 212:
      return -2048;
    case 16:
    case 61:
    case 160:
      return -32768;
    case 24:
      return -(1 << 23);
    case 32:
      return std::numeric_limits<std::int32_t>::min();
    default:
      return std::nullopt;
  }
}

}  // namespace korvel::io
