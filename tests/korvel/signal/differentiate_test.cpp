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
  const auto stage = make_differentiate(3, 1 / fs);
  const std::vector<float> y = run_whole(*stage, x);
  ASSERT_EQ(y.size(), x.size());
  // Float samples of size < 2 carry 1.2e-7 error each, scaled by fs / 2 = 125 in the
  // difference.
  constexpr double tolerance = 5e-5;
  for (std::size_t n = 1; n + 1 < x.size(); ++n) {
    // The central difference of a parabola is its exact derivative 6t - 1.
    EXPECT_NEAR(y[n], 6 * static_cast<double>(n) / fs - 1, tolerance) << "sample " << n;
  }
  EXPECT_NEAR(y.front(), (x[1] - x[0]) * fs, tolerance);
  EXPECT_NEAR(y.back(), (x[100] - x[99]) * fs, tolerance);
}

TEST(Differentiate, ScalesBySampleRateAndHandlesTinyRecords) {
  constexpr double fs = 1000;
  const auto two = make_differentiate(3, 1 / fs);
  const std::vector<float> y = run_whole(*two, std::vector<float>{1.0f, 3.0f});
  EXPECT_EQ(y, (std::vector<float>{2000.0f, 2000.0f}));  // exact: one-sided at both ends
  const auto one = make_differentiate(3, 1 / fs);
  EXPECT_EQ(run_whole(*one, std::vector<float>{5.0f}), std::vector<float>{0.0f});
  const auto none = make_differentiate(3, 1 / fs);
  EXPECT_TRUE(run_whole(*none, std::vector<float>{}).empty());
}

}  // namespace
}  // namespace korvel::signal
