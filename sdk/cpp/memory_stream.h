// SPDX-License-Identifier: MIT
// An IByteStream over a growable byte buffer in memory.
// Threads: one stream belongs to one thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/stream.h"

class MemoryStream final : public ComObject<IByteStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  HRESULT Read(void* buffer, ULONG size, ULONG* read) override {
    if (!buffer && size > 0) return E_POINTER;
    const std::size_t available = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const std::size_t n = std::min<std::size_t>(size, available);
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (read) *read = static_cast<ULONG>(n);
    return n == size ? S_OK : S_FALSE;
  }

  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
    if (!buffer && size > 0) return E_POINTER;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    if (position_ == bytes_.size()) {  // appending, the usual case: no zero fill first
      bytes_.insert(bytes_.end(), in, in + size);
    } else {
      if (position_ + size > bytes_.size()) bytes_.resize(position_ + size);
      if (size > 0) std::memcpy(bytes_.data() + position_, in, size);
    }
    position_ += size;
    if (written) *written = size;
    return S_OK;
  }

  HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* position) override {
    std::int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<std::int64_t>(position_) : origin == 2 ? static_cast<std::int64_t>(bytes_.size()) : -1;
    if (base < 0) return E_INVALIDARG;
    if (base + offset < 0) return E_INVALIDARG;
    position_ = static_cast<std::size_t>(base + offset);
    if (position) *position = position_;
    return S_OK;
  }

  HRESULT GetSize(std::uint64_t* size) override {
    if (!size) return E_POINTER;
    *size = bytes_.size();
    return S_OK;
  }

  const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }
  void rewind() noexcept { position_ = 0; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};
