// SPDX-License-Identifier: MIT
// What evaluation keeps of a channel within one record: the samples of a channel that a
// consumer reads at random, as far back as its readers still read, and the events of an
// event channel. Both grow while the record grows; what they hold is final.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sdk/host/calc_enumerator.h"

namespace korvel::calc {

// The samples of a channel that consumers read at random, from its start or from where
// its readers have let it go. Each reader holds a position before which it reads no more;
// what lies before the lowest position of the readers alive is released as samples are
// appended, so a long record costs the span its readers' windows cover, not its length.
// With no reader alive nothing is released.
class SampledStore {
 public:
  // A reader's position, which only it moves, and only forwards. The store holds it
  // weakly: a reader let go of no longer holds anything back.
  using Reader = std::shared_ptr<std::size_t>;
  Reader add_reader() const {
    auto reader = std::make_shared<std::size_t>(first_);
    readers_.push_back(reader);
    return reader;
  }

  // Samples [begin(), end()) are held; those before begin() were released.
  std::size_t begin() const noexcept { return first_; }
  std::size_t end() const noexcept { return first_ + samples_.size() - head_; }

  void append(std::span<const float> fresh) {
    samples_.insert(samples_.end(), fresh.begin(), fresh.end());
    release();
  }

  // Copies samples [from, from + n), which must lie before end(), into `out`. Returns
  // false, copying nothing, when some were released; the first such read is kept for
  // refused_read(), since a reader on the other side of the host's boundary cannot throw.
  bool read(std::size_t from, std::size_t n, float* out) const {
    if (from < first_) {
      if (refused_.empty())
        refused_ = "samples " + std::to_string(from) + " to " + std::to_string(from + n) +
                   " were read after they were released (samples are kept from " + std::to_string(first_) + " on)";
      return false;
    }
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(head_ + (from - first_)), n, out);
    return true;
  }
  const std::string& refused_read() const noexcept { return refused_; }

  bool complete = false;  // the record is evaluated to its end

 private:
  void release() {
    std::size_t lowest = SIZE_MAX;
    std::erase_if(readers_, [&](const std::weak_ptr<const std::size_t>& r) {
      const auto position = r.lock();
      if (position) lowest = std::min(lowest, *position);
      return !position;
    });
    if (lowest == SIZE_MAX || lowest <= first_) return;
    const std::size_t n = std::min(lowest, end()) - first_;
    first_ += n;
    head_ += n;
    // The held samples move down only once the released part is the larger, so releasing
    // costs in proportion to what is appended.
    if (head_ > samples_.size() / 2) {
      samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

  std::size_t first_ = 0;  // the sample at samples_[head_]
  std::size_t head_ = 0;
  std::vector<float> samples_;
  mutable std::vector<std::weak_ptr<const std::size_t>> readers_;
  mutable std::string refused_;
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
