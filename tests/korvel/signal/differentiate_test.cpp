// SPDX-License-Identifier: MIT
#include "korvel/signal/differentiate.h"

#include <gtest/gtest.h>


#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

using testing::run_whole;

TEST(Differentiate, IsExactOnAParabolaInsideAndOneSidedAtTheEnds) {
  constexpr double fs = 250;
  std::vector<float> x(101);
  for (std::size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n) / fs;
    x[n] = static_cast<float>(3 * t * t - t);
  }
  const std::vector<float> y = run_whole(*make_differentiate(3, 1 / fs), x);
  ASSERT_EQ(y.size(), x.size());
  // Float samples of size < 2 carry 1.2e-7 error each, scaled by fs / 2 = 125 in the
  // difference.
  constexpr double tolerance = 5e-5;
  // The central difference of a parabola is its exact derivative 6t - 1.
  for (std::size_t n = 1; n + 1 < x.size(); ++n) EXPECT_NEAR(y[n], 6 * static_cast<double>(n) / fs - 1, tolerance) << "sample " << n;
  EXPECT_NEAR(y.front(), (x[1] - x[0]) * fs, tolerance);
  EXPECT_NEAR(y.back(), (x[100] - x[99]) * fs, tolerance);
}

TEST(Differentiate, ScalesBySampleRateAndHandlesTinyRecords) {
  constexpr double fs = 1000;
  // Exact: one-sided at both ends of two samples; a single sample has no slope.
  const std::pair<std::vector<float>, std::vector<float>> cases[] = {{{1, 3}, {2000, 2000}}, {{5}, {0}}, {{}, {}}};
  for (const auto& [x, expected] : cases) EXPECT_EQ(run_whole(*make_differentiate(3, 1 / fs), x), expected) << x.size() << " samples";
}

}  // namespace
}  // namespace korvel::signal
