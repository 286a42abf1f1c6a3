// SPDX-License-Identifier: MIT
#include "korvel/calc/event_walk.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace korvel::calc {

EventWalk::EventWalk(ComputedChannels& channels, const doc::Document& document, std::int32_t channel, TickPosition from,
                     TickPosition to)
    : channels_(channels), document_(document), channel_(channel), from_(from), to_(to), record_(std::max(from.record, 0)) {
  if (from_.record < 0) from_ = {0, 0};
}

std::uint32_t EventWalk::event_size() {
  if (store_) return store_->event_size();
  // The size does not depend on the record; ask the first one.
  if (document_.record_count() == 0) return sizeof(CalcEventHeader);
  return channels_.events(channel_, 0)->event_size();
}

std::size_t EventWalk::read(std::byte* buffer, std::size_t max, std::int32_t* records) {
  std::size_t n = 0;
  while (n < max && !done_) {
    if (record_ >= document_.record_count() || (!open_end() && record_ > to_.record)) {
      done_ = !open_end() && record_ > to_.record;
      break;
    }
    if (!store_) {
      if (!channels_.has_data(channel_, record_)) {
        if (!document_.complete(record_)) break;
        ++record_;
        continue;
      }
      store_ = channels_.events(channel_, record_);
      index_ = store_->lower_bound(record_ == from_.record ? from_.tick : 0);
    } else {
      store_ = channels_.events(channel_, record_);  // evaluates what arrived since
    }
    const bool last = !open_end() && record_ == to_.record;
    const std::int32_t limit = last ? to_.tick : std::numeric_limits<std::int32_t>::max();
    const std::uint32_t size = store_->event_size();
    while (n < max && index_ < store_->count() && store_->tick(index_) < limit) {
      std::memcpy(buffer + n * size, store_->record(index_), size);
      if (records) records[n] = record_;
      ++n;
      ++index_;
    }
    if (n == max) break;
    if (index_ < store_->count() || (last && store_->final_until >= limit)) {
      done_ = true;  // the rest lies at or after `to`
      break;
    }
    if (!store_->complete) break;  // more may come while the record grows
    if (last) {
      done_ = true;
      break;
    }
    ++record_;
    store_.reset();
  }
  return n;
}

TickPosition EventWalk::position() const {
  if (done_) return to_;
  if (!store_) return {record_ == from_.record ? from_.tick : 0, record_};
  if (index_ < store_->count()) return {store_->tick(index_), record_};
  return {store_->final_until, record_};
}

}  // namespace korvel::calc
