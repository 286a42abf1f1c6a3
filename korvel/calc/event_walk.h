// SPDX-License-Identifier: MIT
// Reads the events of an event channel in order of record, then tick, over a range of
// positions, evaluating the channel record by record as far as the data reach. While the
// document samples, a walk that reaches the end of the data stops there and yields the
// events that arrive later on later reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "korvel/calc/computed_channels.h"
#include "sdk/tick_position.h"

namespace korvel::calc {

class EventWalk {
 public:
  // Events at `from` or later and before `to`. A `to` in record 0x7FFFFFFE or later is the
  // open end: the walk follows the data as they grow, into new records. `channel` must be
  // an event channel of `channels`, which must outlive the walk.
  EventWalk(ComputedChannels& channels, const doc::Document& document, std::int32_t channel, TickPosition from, TickPosition to);

  std::uint32_t event_size();
  // Copies up to `max` events into `buffer` (max × event_size() bytes) and the record of
  // each into `records` (may be null); returns the number copied. Throws EvaluationError.
  std::size_t read(std::byte* buffer, std::size_t max, std::int32_t* records);
  // Every event before this position has been read.
  TickPosition position() const;

 private:
  bool open_end() const noexcept { return to_.record >= TickPosition::kOpenEndRecord; }

  ComputedChannels& channels_;
  const doc::Document& document_;
  std::int32_t channel_;
  TickPosition from_, to_;
  std::int32_t record_;
  std::shared_ptr<const EventStore> store_;  // of record_, once entered
  std::size_t index_ = 0;                    // next event of store_
  bool done_ = false;                        // past `to`
};

}  // namespace korvel::calc
