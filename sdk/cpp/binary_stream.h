// SPDX-License-Identifier: MIT
// Little-endian typed reading and writing over an IByteStream.
//
// The reader has an error state: a read that runs past the end leaves its target
// unchanged and puts the reader into the error state, after which every further read does
// nothing. Loaders rely on this: a truncated stream keeps the values that were not read.
// Threads: a reader or writer belongs to the thread that made it; no shared state.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "sdk/stream.h"

class BinaryReader {
 public:
  explicit BinaryReader(IByteStream* stream) noexcept : stream_(stream), failed_(stream == nullptr) {}

  bool failed() const noexcept { return failed_; }
  explicit operator bool() const noexcept { return !failed_; }

  // Reads `size` raw bytes; on a short read nothing is stored and the reader fails.
  bool read_bytes(void* out, std::uint32_t size) noexcept {
    if (failed_) return false;
    if (size == 0) return true;
    std::uint8_t local[64];
    std::uint8_t* target = size <= sizeof local ? local : static_cast<std::uint8_t*>(out);
    ULONG got = 0;
    HRESULT hr = stream_->Read(target, size, &got);
    if (hr != S_OK || got != size) {
      failed_ = true;
      return false;
    }
    if (target == local) std::memcpy(out, local, size);
    return true;
  }

  // Integers and floating values in little-endian order.
  template <class T>
    requires(std::is_arithmetic_v<T>)
  bool read(T& value) noexcept {
    std::uint8_t bytes[sizeof(T)];
    if (!read_bytes(bytes, sizeof(T))) return false;
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    std::memcpy(&value, bytes, sizeof(T));
    return true;
  }

  // A boolean stored as int32 (non-zero is true).
  bool read_bool32(bool& value) noexcept {
    std::int32_t raw;
    if (!read(raw)) return false;
    value = raw != 0;
    return true;
  }

  // A boolean stored as a 16-bit value (non-zero is true).
  bool read_bool16(bool& value) noexcept {
    std::int16_t raw;
    if (!read(raw)) return false;
    value = raw != 0;
    return true;
  }

  // Skips `size` bytes; fails like a read when the stream ends first.
  bool skip(std::uint32_t size) noexcept {
    std::uint8_t scratch[256];
    while (size > 0) {
      std::uint32_t chunk = size < sizeof scratch ? size : static_cast<std::uint32_t>(sizeof scratch);
      if (!read_bytes(scratch, chunk)) return false;
      size -= chunk;
    }
    return true;
  }

 private:
  IByteStream* stream_;
  bool failed_;
};

class BinaryWriter {
 public:
  explicit BinaryWriter(IByteStream* stream) noexcept : stream_(stream), failed_(stream == nullptr) {}

  bool failed() const noexcept { return failed_; }

  bool write_bytes(const void* data, std::uint32_t size) noexcept {
    if (failed_) return false;
    ULONG written = 0;
    if (stream_->Write(data, size, &written) != S_OK || written != size) failed_ = true;
    return !failed_;
  }

  template <class T>
    requires(std::is_arithmetic_v<T>)
  bool write(T value) noexcept {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof(T));
    return write_bytes(bytes, sizeof(T));
  }

  bool write_bool32(bool value) noexcept { return write<std::int32_t>(value ? 1 : 0); }
  bool write_bool16(bool value) noexcept { return write<std::int16_t>(value ? 1 : 0); }

 private:
  IByteStream* stream_;
  bool failed_;
};
