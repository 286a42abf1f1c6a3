// SPDX-License-Identifier: MIT
// Stream helpers shared by the settings tests.
#pragma once

#include <cstdint>
#include <cstring>
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

inline HRESULT load_bytes(HRV::Settings& s, const Bytes& bytes) {
  auto stream = make_com<MemoryStream>(bytes);
  return s.Load(stream.get());
}

template <class T>
T value_at(const Bytes& bytes, std::size_t offset) {
  T v{};
  if (offset + sizeof(T) > bytes.size()) {
    ADD_FAILURE() << "offset " << offset << " + " << sizeof(T) << " beyond " << bytes.size() << " bytes";
    return v;
  }
  std::memcpy(&v, bytes.data() + offset, sizeof(T));  // the build machines are little-endian
  return v;
}

// Appends little-endian values to a byte vector.
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
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace settings_test
