// SPDX-License-Identifier: MIT
#include "korvel/signal/amplitude_histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <random>
#include <vector>

namespace korvel::signal {
namespace {

TEST(AmplitudeHistogram, CapIsWithinOneBinBelowTheOrderStatisticAndItsExcessIsExact) {
  std::mt19937 rng(11);
  std::exponential_distribution<float> spread(1.0f);
  std::uniform_real_distribution<float> scale(-20.0f, 20.0f);
  AmplitudeHistogram histogram;
  std::deque<float> window;
  constexpr std::size_t kWidth = 301;
  for (int step = 0; step < 3000; ++step) {
    // Values over many decades, with repeats, so bins fill unevenly.
    const float value = step % 7 == 0 ? 1.0f : spread(rng) * std::exp2(scale(rng) * (step % 500 < 250 ? 0.1f : 1.0f));
    histogram.insert(value);
    window.push_back(value);
    if (window.size() > kWidth) {
      histogram.remove(window.front());
      window.pop_front();
    }
    if (step % 13 != 0) continue;
    std::vector<float> sorted(window.begin(), window.end());
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    for (const std::uint32_t rank : {1u, 4u, static_cast<std::uint32_t>(sorted.size())}) {
      if (rank > sorted.size()) continue;
      const float exact = sorted[rank - 1];
      const AmplitudeHistogram::Cap cap = histogram.cap_at_rank_from_top(rank);
      ASSERT_LE(cap.value, exact) << "step " << step << " rank " << rank;
      ASSERT_LT(exact, cap.value * (1 + 1.0f / 128) + 1e-38f) << "step " << step << " rank " << rank;
      double excess = 0;
      for (const float v : sorted) excess += std::max(0.0, static_cast<double>(v) - cap.value);
      // Double sums of float values, added and removed thousands of times.
      ASSERT_NEAR(cap.excess, excess, 1e-9 * (1 + excess) * static_cast<double>(window.size()))
          << "step " << step << " rank " << rank;
    }
  }
}

TEST(AmplitudeHistogram, ReturnsZeroCapWhenItHoldsFewerValuesThanTheRank) {
  AmplitudeHistogram histogram;
  histogram.insert(2.0f);
  const AmplitudeHistogram::Cap cap = histogram.cap_at_rank_from_top(2);
  EXPECT_EQ(cap.value, 0.0f);
  EXPECT_EQ(cap.excess, 0.0);
  const AmplitudeHistogram::Cap top = histogram.cap_at_rank_from_top(1);
  EXPECT_EQ(top.value, 2.0f);  // 2 is a bin edge: its mantissa bits below the top 7 are zero
  EXPECT_EQ(top.excess, 0.0);
}

}  // namespace
}  // namespace korvel::signal
