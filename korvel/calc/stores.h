// SPDX-License-Identifier: MIT
// What evaluation keeps of a channel within one record: the samples of a channel that a
// consumer reads at random, and the events of an event channel. Both grow while the
// record grows; what they hold is final.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sdk/host/calc_enumerator.h"

namespace korvel::calc {

struct SampledStore {
  std::vector<float> samples;
  bool complete = false;  // the record is evaluated to its end
};

// Event records of one size, back to back, in tick order; each begins with a
// CalcEventHeader.
class EventStore {
 public:
  explicit EventStore(std::uint32_t event_size = sizeof(CalcEventHeader)) : event_size_(event_size) {}

  std::uint32_t event_size() const noexcept { return event_size_; }
  std::size_t count() const noexcept { return bytes_.size() / event_size_; }
  const std::byte* record(std::size_t i) const noexcept { return bytes_.data() + i * event_size_; }
  std::int32_t tick(std::size_t i) const noexcept {
    std::int32_t t;
    std::memcpy(&t, record(i), sizeof t);
    return t;
  }
  // Index of the first event at or after `tick`.
  std::size_t lower_bound(std::int32_t at) const noexcept {
    std::size_t lo = 0, hi = count();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (tick(mid) < at) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  // Appends `n` whole records. Returns false, appending nothing, when their ticks are not
  // in order (with each other and with what is stored).
  bool append(const void* records, std::size_t n) {
    const auto* in = static_cast<const std::byte*>(records);
    std::int32_t last = count() ? tick(count() - 1) : INT32_MIN;
    for (std::size_t i = 0; i < n; ++i) {
      std::int32_t t;
      std::memcpy(&t, in + i * event_size_, sizeof t);
      if (t < last) return false;
      last = t;
    }
    bytes_.insert(bytes_.end(), in, in + n * event_size_);
    return true;
  }

  // A host event: the tick and a fraction of 0.
  void append_tick(std::int32_t at) {
    const CalcEventHeader header{at, 0.0f};
    append(&header, 1);
  }

  // No event before this tick is still to come.
  std::int32_t final_until = 0;
  bool complete = false;

 private:
  std::uint32_t event_size_;
  std::vector<std::byte> bytes_;
};

}  // namespace korvel::calc
