// SPDX-License-Identifier: MIT
// What the extension's calculation enumerators share: parameters that travel as text, a
// per-run state that can be copied, and a per-record cache of states taken at the start of
// every 100,000-tick block, so that a search anywhere in a long record restarts from the
// nearest block instead of from the record's beginning.
#pragma once

#include <cstdint>
#include <istream>
#include <iterator>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <ostream>

namespace EEH3 {

// Marks parameter records that are plain values, copied whole when an enumerator is cloned.
class ParamsBaseAutoCopy {
 public:
  virtual ~ParamsBaseAutoCopy() = default;
};

class ParamsBase : public ParamsBaseAutoCopy {
 public:
  // Reads the values in their text order; false when the text is not a valid parameter list.
  virtual bool Read(std::istream& text) = 0;
  virtual void Write(std::ostream& text) const = 0;
  // Learns the sample interval of the sampled input, once the inputs are bound.
  virtual void Bind(double sampleInterval) = 0;
};

class StateBase {
 public:
  virtual ~StateBase() = default;
  std::int32_t record = 0;    // record being enumerated
  std::int32_t position = 0;  // tick up to which the run has looked
};

inline constexpr std::int32_t kCacheBlockTicks = 100000;

// States at block starts, per record. A state stored for block k is one from which a run
// yields exactly the events at or after tick k × 100,000.
template <class State>
class RecordCache {
 public:
  void store(std::int32_t record, std::int32_t block, const State& state) { blocks_[record].try_emplace(block, state); }

  // The cached state of the latest block that starts at or before `tick`, or null.
  const State* at_or_before(std::int32_t record, std::int32_t tick) const {
    auto r = blocks_.find(record);
    if (r == blocks_.end()) return nullptr;
    auto it = r->second.upper_bound(tick / kCacheBlockTicks);
    if (it == r->second.begin()) return nullptr;
    return &std::prev(it)->second;
  }

  std::size_t size(std::int32_t record) const {
    auto r = blocks_.find(record);
    return r == blocks_.end() ? 0 : r->second.size();
  }

 private:
  std::map<std::int32_t, std::map<std::int32_t, State>> blocks_;
};

}  // namespace EEH3

namespace EEH3 {

enum class Step { Event, NotYet, End };

// Record-wise reading and searching over a search engine that produces one event at a
// time from a copyable state. `Search` provides:
//   State Start(int32 record) const;   void Restore(const State&);
//   Step Next(State&, Event&)   — with the engine's own Step values Beat/NotYet/End.
// Every state passed to the cache is one from which the engine, after Restore, yields the
// remaining events of the record exactly as the original run did, so several cursors over
// the same inputs (one reading, one searching) may share one cache.
template <class Search, class State, class Event>
class EventCursor {
 public:
  EventCursor(Search& search, RecordCache<State>& cache) : search_(search), state_(search.Start(0)), cache_(cache) {}

  void StartRecord(std::int32_t record) {
    state_ = search_.Start(record);
    search_.Restore(state_);
    cache_.store(record, 0, state_);
    last_tick_ = -1;
    position_ = 0;
    has_current_ = false;
  }

  // Up to `max` events into `out`; `status` tells why the read stopped early.
  std::uint32_t Read(Event* out, std::uint32_t max, Step& status) {
    std::uint32_t n = 0;
    status = Step::Event;
    while (n < max) {
      Event e;
      status = Produce(e);
      if (status != Step::Event) break;
      out[n++] = e;
    }
    return n;
  }

  // The first event at or after `from` (forwards) or the last at or before `from`
  // (backwards) within [low, high). On success it becomes current and reading continues
  // after it.
  bool Find(bool backwards, std::int32_t from, std::int32_t low, std::int32_t high) {
    has_current_ = false;
    if (high == 0 || high == low || (backwards && from == 0)) {
      position_ = high;
      return false;
    }
    const std::int32_t restartAt = backwards ? std::max(low, 0) : std::max(std::max(from, low), 0);
    Reposition(restartAt);
    std::optional<std::pair<Event, State>> best;
    for (;;) {
      Event e;
      if (Produce(e) != Step::Event) break;
      const std::int32_t tick = TickOf(e);
      if (tick >= high || (backwards && tick > from)) break;
      if (tick < low || (!backwards && tick < from)) continue;
      best.emplace(e, state_);
      if (!backwards) break;
    }
    if (!best) {
      return false;
    }
    current_ = best->first;
    state_ = best->second;
    search_.Restore(state_);
    has_current_ = true;
    position_ = TickOf(current_);
    last_tick_ = position_;
    return true;
  }

  bool Current(Event& out) const {
    if (has_current_) out = current_;
    return has_current_;
  }
  std::int32_t Position() const { return position_; }
  const State& CurrentState() const { return state_; }
  // Continues from a state taken from another cursor over the same inputs.
  void Resume(const State& state) {
    state_ = state;
    search_.Restore(state_);
    last_tick_ = state.position - 1;
  }
  const RecordCache<State>& Cache() const { return cache_; }

 private:
  static std::int32_t TickOf(const Event& e) { return e.tick; }

  Step Produce(Event& e) {
    const State before = state_;
    const auto step = search_.Next(state_, e);
    if (step == Search::Step::NotYet) return Step::NotYet;
    if (step == Search::Step::End) return Step::End;
    // Every block that starts after the previous event and at or before this one starts
    // with the state that produced this event.
    for (std::int32_t block = last_tick_ / kCacheBlockTicks + 1; block <= e.tick / kCacheBlockTicks; ++block)
      cache_.store(state_.record, block, before);
    last_tick_ = e.tick;
    position_ = e.tick;
    current_ = e;
    has_current_ = true;
    return Step::Event;
  }

  void Reposition(std::int32_t tick) {
    const State* cached = cache_.at_or_before(state_.record, tick);
    state_ = cached ? *cached : search_.Start(state_.record);
    search_.Restore(state_);
    // Blocks before the restart point are cached already; later ones are filled as the run passes them.
    last_tick_ = std::max<std::int32_t>(tick / kCacheBlockTicks * kCacheBlockTicks - 1, -1);
  }

  Search& search_;
  State state_;
  RecordCache<State>& cache_;
  std::int32_t last_tick_ = -1;
  std::int32_t position_ = 0;
  Event current_{};
  bool has_current_ = false;
};

}  // namespace EEH3
