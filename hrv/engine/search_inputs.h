// SPDX-License-Identifier: MIT
// What an enumerator reads, as plain views: the sampled input and the event input within
// the record being enumerated, and the document's beat edits and beat-number cache. The
// enumerator's host adapter implements them over the host's interfaces; tests implement
// them over vectors.
#pragma once

#include <cstdint>
#include <optional>

#include "sample_position.h"

namespace HRV {

class SignalView {
 public:
  virtual ~SignalView() = default;
  // Ticks [0, available_end()) hold final samples.
  virtual std::int32_t available_end() const = 0;
  // True once the record will not grow any more.
  virtual bool complete() const = 0;
  // Copies samples [from, from + count) clipped to what is available; returns the number copied.
  virtual std::int32_t read(std::int32_t from, std::int32_t count, float* out) const = 0;
};

class ReferenceView {
 public:
  virtual ~ReferenceView() = default;
  // Makes the first event at or after `tick` current.
  virtual void seek(std::int32_t tick) = 0;
  // The current event's tick, or nothing when none is available yet (or any more).
  virtual std::optional<std::int32_t> current() = 0;
  virtual void advance() = 0;
  // The tick up to which the input has looked: no event before it is still to come.
  virtual std::int32_t position() const = 0;
  // True when the record holds no further event, now or later.
  virtual bool at_end() const = 0;
};

// The user's beat edits; absent edits behave as empty sets.
class BeatEditsView {
 public:
  virtual ~BeatEditsView() = default;
  virtual std::optional<SamplePosition> added_at_or_after(SamplePosition position) const = 0;
  virtual std::optional<SamplePosition> removed_at_or_after(SamplePosition position) const = 0;
};

// Last beat number per record, so that numbering continues across records.
class BeatNumberView {
 public:
  virtual ~BeatNumberView() = default;
  virtual std::optional<std::uint32_t> last(std::int32_t record) const = 0;
  virtual void set(std::int32_t record, std::uint32_t number) = 0;
};

}  // namespace HRV
