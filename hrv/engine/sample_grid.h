// SPDX-License-Identifier: MIT
// Durations on the sampling grid. An interval between two beats is a whole number of
// samples, and so is the difference of two intervals, but in seconds it is formed as
// (a − b)·dt with rounding error: 18 samples at 360 Hz land a few ulps either side of
// 0.05 s, so a tie with a 50 ms limit would fall either way by accident. Durations are
// therefore compared with a limit in samples, where a whole number is exact.
#pragma once

#include <cmath>

namespace HRV {

class SampleGrid {
 public:
  // `dt` is the sample interval in seconds; without one (or 0) seconds are compared as they are.
  constexpr SampleGrid() noexcept = default;
  constexpr explicit SampleGrid(double dt) noexcept : dt_(dt) {}

  // `seconds` as a number of samples, taken as the nearest whole number within a millionth
  // of a sample of it. The rounding error of a duration formed from ticks is a few ulps of
  // its sample count, far inside that; a limit such as 0.05 s at 360 Hz becomes 18 exactly.
  double samples(double seconds) const noexcept {
    if (!(dt_ > 0.0)) return seconds;
    const double s = seconds / dt_;
    const double whole = std::nearbyint(s);
    return std::abs(s - whole) <= 1e-6 ? whole : s;
  }

  // Strictly above or below `limit` (s); a duration equal to the limit in samples is neither.
  bool above(double seconds, double limit) const noexcept { return samples(seconds) > samples(limit); }
  bool below(double seconds, double limit) const noexcept { return samples(seconds) < samples(limit); }

 private:
  double dt_ = 0.0;
};

}  // namespace HRV
