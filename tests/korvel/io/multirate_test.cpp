// SPDX-License-Identifier: MIT
#include "korvel/io/multirate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace korvel::io {
namespace {

TEST(Multirate, MatchesDirectInterpolationForRatesThatDoNotDivide) {
  // 3 samples per 7 ticks, as an EDF record holding 300 and 700 samples per data record.
  std::vector<float> samples;
  for (int k = 0; k < 30; ++k) samples.push_back(static_cast<float>(std::sin(0.3 * k) * 10));
  const auto ticks = interpolate_onto_ticks(samples, 3, 7, 70);
  ASSERT_EQ(ticks.size(), 70u);
  for (std::size_t n = 0; n < ticks.size(); ++n) {
    const double position = static_cast<double>(n) * 3 / 7;  // in source samples
    const auto k = static_cast<std::size_t>(position);
    const double expected =
        k + 1 < samples.size() ? samples[k] + (samples[k + 1] - samples[k]) * (position - k) : samples.back();
    // Float rounding of values up to 10 in magnitude.
    EXPECT_NEAR(ticks[n], expected, 1e-5) << "tick " << n;
  }
}

TEST(Multirate, TicksOnSamplesAreExactAndNaNSpreadsOnlyBetweenItsNeighbours) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto ticks = interpolate_onto_ticks(std::vector<float>{1, nan, 3, 4}, 1, 2, 8);
  ASSERT_EQ(ticks.size(), 8u);
  for (int n : {1, 2, 3}) EXPECT_TRUE(std::isnan(ticks[n])) << "tick " << n << " = " << ticks[n];
  // The last sample holds past the end.
  EXPECT_EQ((std::vector<float>{ticks[0], ticks[4], ticks[5], ticks[6], ticks[7]}), (std::vector<float>{1, 3, 3.5f, 4, 4}));
}

TEST(Multirate, RefusesOutputOutOfProportionToTheStoredSamples) {
  EXPECT_NO_THROW(check_interpolated_size("x.dat", 16 * 100, 1, 100));
  try {
    check_interpolated_size("x.dat", 16 * 100 + 1, 1, 100);
    ADD_FAILURE() << "no error";
  } catch (const ImportError& e) {
    EXPECT_NE(std::string(e.what()).find("x.dat: the fastest signal's ticks for every channel (1601 ticks x 1 channels)"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace korvel::io
