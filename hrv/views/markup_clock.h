// SPDX-License-Identifier: MIT
// The clock that paces a plot view's markups while the host samples. Views read it through
// this interface so that tests can step time by hand.
#pragma once

#include <cstdint>

namespace HRV {

class MarkupClock {
 public:
  virtual ~MarkupClock() = default;
  // Ticks since an arbitrary origin, and ticks per second.
  virtual std::uint64_t now() = 0;
  virtual std::uint64_t frequency() = 0;
};

// The process's monotonic high-resolution clock.
MarkupClock& steady_markup_clock() noexcept;

}  // namespace HRV
