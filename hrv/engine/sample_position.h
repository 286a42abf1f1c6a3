// SPDX-License-Identifier: MIT
// Where a sample lies in a recording: a tick (sample index) within a record. The engine's
// own copy of the host's position value, so that the numerics need no host header; the
// adapters convert between the two member by member.
#pragma once

#include <compare>
#include <cstdint>

namespace HRV {

struct SamplePosition {
  static constexpr std::int32_t kUnset = 0x7FFFFFFF;  // a tick or record that is not set

  std::int32_t tick = kUnset;
  std::int32_t record = kUnset;

  static constexpr SamplePosition unset() noexcept { return {kUnset, kUnset}; }

  // Ordered by record first, then by tick.
  friend constexpr bool operator==(const SamplePosition&, const SamplePosition&) noexcept = default;
  friend constexpr std::strong_ordering operator<=>(const SamplePosition& a, const SamplePosition& b) noexcept {
    if (auto c = a.record <=> b.record; c != 0) return c;
    return a.tick <=> b.tick;
  }
};

}  // namespace HRV
