// SPDX-License-Identifier: MIT
#include "korvel/signal/normalize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <random>

#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

using testing::run_whole;

// Squared envelope of Gaussian noise of standard deviation `sigma` per component: its
// square root is Rayleigh distributed.
std::vector<float> rayleigh_envelope(std::size_t length, float sigma, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> component(0.0f, sigma);
  std::vector<float> e(length);
  for (float& v : e) {
    const float i = component(rng);
    const float q = component(rng);
    v = i * i + q * q;
  }
  return e;
}

// The output's range at each sample, and how often each estimate of the noise null's
// scale was the one taken.
struct Expected {
  std::vector<double> low, high;
  int from_mean = 0, from_quartile = 0, from_top = 0;
};

// Level of amplitude `a` against the Rayleigh null of scale `s`.
double level(double a, double s, double floor) {
  const double sd = std::max(std::sqrt(2 - std::numbers::pi / 2) * s, floor);
  return sd > 0 ? (a - std::sqrt(std::numbers::pi / 2) * s) / sd : 0.0;
}

// The definition computed directly: exact nearest-rank 99th percentile and lower quartile
// of each grid point's window by sorting, they and the capped excess interpolated between
// grid points. The stage's binned order statistics lie at most a factor 1 + 1/128 below
// the exact ones, so its capped excess is at most q / 128 larger for each value at or
// above q (1 - 1/128). The output falls as the null's scale grows, and the scale grows
// with the mean, the percentile and the quartile, so the output lies between its values
// for the exact statistics and for the lowest ones the bins allow.
Expected normalize_directly(std::span<const float> e, std::size_t back, std::size_t ahead, std::size_t grid,
                            double floor) {
  const auto n_samples = static_cast<std::int64_t>(e.size());
  const std::size_t width = back + ahead + 1;
  const std::size_t top_rank = (99 * width + 99) / 100;  // ceil(0.99 W), 1-based from the bottom
  const std::size_t quartile_rank = (width + 3) / 4;     // ceil(0.25 W)
  const auto amplitude = [&](std::int64_t i) {
    const double a = std::sqrt(std::max(testing::at_clamped(e, i), 0.0));
    return std::isfinite(a) ? a : 0.0;
  };
  const auto window = [&](std::int64_t c) {
    std::vector<double> values;
    for (std::int64_t i = c - static_cast<std::int64_t>(back); i <= c + static_cast<std::int64_t>(ahead); ++i) {
      values.push_back(amplitude(i));
    }
    return values;
  };
  struct Statistics {
    double excess;
    double bound;  // most the stage's excess can exceed it by
    double top;
    double quartile;
  };
  const auto statistics_at = [&](std::int64_t c) {
    std::vector<double> values = window(c);
    std::sort(values.begin(), values.end());
    const double q = values[top_rank - 1];
    Statistics st{0, 0, q, values[quartile_rank - 1]};
    for (const double v : values) {
      st.excess += std::max(v - q, 0.0);
      if (v >= q * (1 - 1.0 / 128)) st.bound += q / 128;
    }
    return st;
  };
  const double mean_per_scale = std::sqrt(std::numbers::pi / 2);
  const double top_per_scale = mean_per_scale + 6 * std::sqrt(2 - std::numbers::pi / 2);
  const double quartile_per_scale = std::sqrt(2 * std::log(4.0 / 3.0));
  Expected out;
  const auto g = static_cast<std::int64_t>(grid);
  for (std::int64_t n = 0; n < n_samples; ++n) {
    const std::int64_t g0 = n / g * g;
    const Statistics c0 = statistics_at(g0);
    const Statistics c1 = n == g0 ? c0 : statistics_at(g0 + g);
    const double along = static_cast<double>(n - g0) / static_cast<double>(g);
    const auto between = [&](double Statistics::*field) { return c0.*field + (c1.*field - c0.*field) * along; };
    const std::vector<double> values = window(n);
    const double m = (std::accumulate(values.begin(), values.end(), 0.0) - between(&Statistics::excess)) /
                     static_cast<double>(width);
    const double dm = std::max(c0.bound, c1.bound) / static_cast<double>(width);
    const double a = std::sqrt(std::max(static_cast<double>(e[static_cast<std::size_t>(n)]), 0.0));
    const auto y = [&](double mean, double top, double quartile, bool count) {
      const double from_quartile = 1.1 * quartile / quartile_per_scale;
      const double from_top = top / top_per_scale;
      const double below = std::max(from_quartile, from_top);
      const bool from_mean = !(below < mean / mean_per_scale);
      if (count) ++(from_mean ? out.from_mean : below == from_top ? out.from_top : out.from_quartile);
      return level(a, from_mean ? mean / mean_per_scale : below, floor);
    };
    const double shrink = 1 / (1 + 1.0 / 128);
    const double exact = y(m, between(&Statistics::top), between(&Statistics::quartile), true);
    const double lowest = y(m - dm, between(&Statistics::top) * shrink, between(&Statistics::quartile) * shrink, false);
    // Plus float rounding of the output.
    const double rounding = 1e-5 * (1 + std::abs(exact));
    out.low.push_back(std::min(exact, lowest) - rounding);
    out.high.push_back(std::max(exact, lowest) + rounding);
  }
  return out;
}

struct Case {
  double fs;
  double window;
  double lookahead;
  double noise;
  std::size_t length;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << "window " << c.window << " s, look-ahead " << c.lookahead << " s, noise " << c.noise << " at " << c.fs
       << " Hz";
}

class NormalizeVsDirect : public ::testing::TestWithParam<Case> {};

TEST_P(NormalizeVsDirect, MatchesTheDefinitionWithAnExactPercentile) {
  const auto [fs, window, lookahead, noise, length] = GetParam();
  std::vector<float> e = rayleigh_envelope(length, 0.2f, 5);
  // Artefacts and a quiet stretch, so the cap and the floor both matter somewhere.
  e[300] = 400.0f;
  e[301] = 90.0f;
  for (std::size_t i = 900; i < 1100 && i < e.size(); ++i) e[i] *= 1e-6f;
  const auto stage = make_normalize(window, lookahead, noise, 1 / fs);
  const std::vector<float> y = run_whole(*stage, e);
  const auto back = static_cast<std::size_t>(std::llround((window - lookahead) * fs));
  const auto ahead = static_cast<std::size_t>(std::llround(lookahead * fs));
  const auto grid = static_cast<std::size_t>(std::llround(0.1 * fs));
  const Expected expected = normalize_directly(e, back, ahead, grid, noise * fs);
  ASSERT_EQ(y.size(), e.size());
  for (std::size_t n = 0; n < y.size(); ++n) {
    ASSERT_GE(y[n], expected.low[n]) << "sample " << n;
    ASSERT_LE(y[n], expected.high[n]) << "sample " << n;
  }
  // Each estimate of the null is taken somewhere (the quiet stretch, the artefacts, chance
  // in short windows), so the comparison reaches all three.
  EXPECT_GT(expected.from_mean, 0);
  EXPECT_GT(expected.from_quartile, 0);
  EXPECT_GT(expected.from_top, 0);
}

INSTANTIATE_TEST_SUITE_P(Windows, NormalizeVsDirect,
                         ::testing::Values(Case{200, 2.0, 1.0, 0.0, 2437},      // centred, as the detector uses it
                                           Case{100, 1.0, 0.25, 0.001, 1237},  // mostly behind, with a floor
                                           Case{50, 1.0, 0.0, 0.0, 637},       // trailing window only
                                           Case{20, 1.0, 0.5, 0.0, 140'000})); // past the running sum's recomputations

TEST(Normalize, LevelsStationaryRayleighNoiseToZeroMeanAndUnitDeviation) {
  constexpr double fs = 1000;
  const std::vector<float> e = rayleigh_envelope(120'000, 3.0f, 17);
  const auto stage = make_normalize(5, 2.5, 0, 1 / fs);
  const std::vector<float> y = run_whole(*stage, e);
  const double mean = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size());
  double squares = 0;
  for (const float v : y) squares += (v - mean) * (v - mean);
  const double sd = std::sqrt(squares / static_cast<double>(y.size() - 1));  // divisor n - 1
  // Capping at the 99th percentile lowers the mean by 0.24 %, so mean ~ +0.005 and SD ~
  // 1.002; 120 000 samples and a 5001-sample window leave errors near 0.01.
  EXPECT_NEAR(mean, 0.0, 0.03);
  EXPECT_NEAR(sd, 1.0, 0.03);
}

TEST(Normalize, NoiseFloorTakesOverOnAFlatSignal) {
  constexpr double fs = 1000;
  std::vector<float> e(6000, 0.0f);
  e[3000] = 625.0f;  // amplitude 25
  const auto floored = make_normalize(1, 0.5, 0.01, 1 / fs);  // floor 0.01 * 1000 = 10
  const std::vector<float> y = run_whole(*floored, e);
  EXPECT_FLOAT_EQ(y[3000], 2.5f);  // (25 - 0) / 10: the cap removes the pulse from the mean
  EXPECT_EQ(y[2999], 0.0f);
  const auto unfloored = make_normalize(1, 0.5, 0, 1 / fs);
  for (const float v : run_whole(*unfloored, e)) ASSERT_EQ(v, 0.0f);  // no level, no floor: 0, not NaN
}

TEST(Normalize, NonFiniteInputGivesNaNAtThatSampleOnly) {
  std::vector<float> e = rayleigh_envelope(3000, 1.0f, 29);
  e[1500] = std::numeric_limits<float>::quiet_NaN();
  e[1700] = std::numeric_limits<float>::infinity();
  const auto stage = make_normalize(1, 0.5, 0, 1e-3);
  const std::vector<float> y = run_whole(*stage, e);
  for (std::size_t n = 0; n < y.size(); ++n) {
    EXPECT_EQ(std::isnan(y[n]), n == 1500 || n == 1700) << "sample " << n;
  }
}

}  // namespace
}  // namespace korvel::signal
