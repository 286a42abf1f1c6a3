// SPDX-License-Identifier: MIT
// A position in a host document's data: a tick (sample index) within a record.
// Threads: a plain value; any thread.
#pragma once

#include <compare>
#include <cstdint>

struct TickPosition {
  static constexpr std::int32_t kUnset = 0x7FFFFFFF;
  static constexpr std::int32_t kOpenEndRecord = 0x7FFFFFFE;

  std::int32_t tick = kUnset;
  std::int32_t record = kUnset;

  // A position whose record is unset is an unset position.
  constexpr bool is_set() const noexcept { return record != kUnset; }
  // The end of a region that grows while the host samples.
  static constexpr TickPosition open_end() noexcept { return {kUnset, kOpenEndRecord}; }
  static constexpr TickPosition unset() noexcept { return {kUnset, kUnset}; }

  // Ordered by record first, then by tick.
  friend constexpr bool operator==(const TickPosition&, const TickPosition&) noexcept = default;
  friend constexpr std::strong_ordering operator<=>(const TickPosition& a, const TickPosition& b) noexcept {
    if (auto c = a.record <=> b.record; c != 0) return c;
    return a.tick <=> b.tick;
  }
};
static_assert(sizeof(TickPosition) == 8);
