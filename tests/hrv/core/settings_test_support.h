// SPDX-License-Identifier: MIT
// Stream helpers shared by the tests of the persisted streams (settings, beat edits).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "hrv/core/settings.h"
#include "sdk/cpp/memory_stream.h"

namespace settings_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes save_bytes(HRV::Settings& s, VARIANT_BOOL clear_dirty = VARIANT_FALSE) {
  auto stream = make_com<MemoryStream>();
  EXPECT_EQ(s.Save(stream.get(), clear_dirty), S_OK);
  return stream->bytes();
}

inline HRESULT load_bytes(HRV::Settings& s, const Bytes& bytes) { return s.Load(make_com<MemoryStream>(bytes).get()); }

// Appends little-endian values (the build machines are little-endian).
class StreamBuilder {
 public:
  template <class T>
  StreamBuilder& put(T value) {
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes_.insert(bytes_.end(), raw, raw + sizeof(T));
    return *this;
  }
  StreamBuilder& put_bool(bool value) { return put<std::int32_t>(value ? 1 : 0); }
  StreamBuilder& put_position(TickPosition p) { return put(p.record).put(p.tick); }
  // A string of the earlier format: encoding (1: UTF-16), length in code units, the units.
  StreamBuilder& put_string(std::u16string_view text, std::int32_t encoding = 1) {
    put(encoding).put(static_cast<std::int32_t>(text.size()));
    for (char16_t unit : text) put(static_cast<std::uint16_t>(unit));
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }
  // The bytes so far as a stream, cut to `size` when that is smaller.
  ComPtr<MemoryStream> stream(std::size_t size = SIZE_MAX) const {
    return make_com<MemoryStream>(Bytes(bytes_.begin(), bytes_.begin() + std::min(size, bytes_.size())));
  }

 private:
  Bytes bytes_;
};

}  // namespace settings_test
