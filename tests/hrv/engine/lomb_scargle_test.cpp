// SPDX-License-Identifier: MIT
#include "hrv/engine/lomb_scargle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "tests/support/lomb_scargle_oracle.h"

namespace HRV {
namespace {

struct Series {
  std::vector<double> rr;  // s
  std::vector<double> t;   // s
};

// Unevenly spaced beats: intervals of mean `meanRR` with ±30 % jitter, starting at `start`,
// RR carrying a slow oscillation and noise, from a fixed seed.
Series random_series(std::size_t n, double meanRR, double start, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> jitter(0.7, 1.3);
  std::normal_distribution<double> noise(0.0, 0.02);
  Series s;
  double t = start;
  for (std::size_t i = 0; i < n; ++i) {
    const double rr = meanRR * jitter(gen);
    t += rr;
    s.t.push_back(t);
    s.rr.push_back(rr + 0.04 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen));
  }
  return s;
}

double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

// Largest |fast - oracle| over all bins.
double largest_difference(const std::vector<double>& fast, const std::vector<double>& oracle) {
  double d = 0.0;
  for (std::size_t k = 0; k < fast.size(); ++k) d = std::max(d, std::abs(fast[k] - oracle[k]));
  return d;
}

// The fast periodogram spreads the beats onto a grid and sums by FFT (fourier_sums); the
// oracle computes every sine and cosine from the raw times in long double. They differ by
// ~1e-13 of the largest bin at most (measured on these cases), so 1e-9 leaves ample margin
// while a slip in the spreading, the deconvolution or the projections shows at the percent
// level.
constexpr double kOracleTolerance = 1e-9;

TEST(LombScargle, AgreesWithTheDirectSumsForEveryTaperOnRandomUnevenSeries) {
  struct Case {
    std::size_t n;
    double meanRR, start;
    std::uint32_t bins;
    double fmax;
  };
  const Case cases[] = {
      {3, 0.8, 10.0, 65, 0.5},        // fewer beats than bins
      {17, 1.0, 3600.0, 1, 0.5},      // a single bin: the smallest grid
      {1000, 0.8, 0.0, 500, 0.5},     // the default grid
      {3000, 0.4, 80000.0, 333, 1.5}, // late start, odd grid, fast rate
      {100000, 0.864, 0.0, 70, 0.5},  // 24 hours
  };
  for (const Case& c : cases) {
    const Series s = random_series(c.n, c.meanRR, c.start, static_cast<unsigned>(c.n));
    // 7 is no taper; the slow oracle over 100,000 beats is only run for two tapers.
    for (std::uint32_t window : {0u, 1u, 2u, 3u, 4u, 5u, 7u}) {
      if (c.n > 20000 && window != 0 && window != 5) continue;
      SCOPED_TRACE(testing::Message() << c.n << " beats of " << c.meanRR << " s from " << c.start << " s, " << c.bins
                                      << " bins to " << c.fmax << " Hz, taper " << window);
      PowerSpectrum spectrum;
      ASSERT_TRUE(LombScargle(window, s.rr, s.t, spectrum, c.bins, c.fmax));
      const std::vector<double> oracle = test_support::direct_lomb_scargle(window, s.rr, s.t, c.bins, c.fmax);
      ASSERT_EQ(spectrum.power.size(), oracle.size());
      EXPECT_LE(largest_difference(spectrum.power, oracle), kOracleTolerance * largest(oracle)) << largest(oracle);
    }
  }
}

// Degenerate series, where the detrended values are rounding noise or the fit fails. Where
// the largest bin is itself noise, the spectrum must stay negligible against the data's
// mean square instead.
TEST(LombScargle, DegenerateSeriesAgreeWithTheDirectSums) {
  std::vector<double> t, rr, constant(200, 0.8), ct;
  for (int i = 0; i < 300; ++i) {
    t.push_back(100.0 + 0.9 * i + 0.1 * std::sin(i));
    rr.push_back(0.7 + 0.001 * t.back());
  }
  PowerSpectrum spectrum;
  // A pure linear trend is removed completely: left in, it would leave power of the order of
  // the data's variance (about 0.006 s²); rounding leaves ~1e-28.
  ASSERT_TRUE(LombScargle(0, rr, t, spectrum, 500, 0.5));
  EXPECT_LE(largest(spectrum.power), 1e-20 * rr.back() * rr.back());
  EXPECT_LE(largest(test_support::direct_lomb_scargle(0, rr, t, 500, 0.5)), 1e-20 * rr.back() * rr.back());
  // Two beats leave nothing after the trend.
  const std::vector<double> t2{1000.0, 1000.8}, rr2{0.81, 0.8};
  for (std::uint32_t window : {0u, 2u, 5u}) {
    ASSERT_TRUE(LombScargle(window, rr2, t2, spectrum, 500, 0.5));
    EXPECT_LE(largest(spectrum.power), 1e-20) << "taper " << window;
  }
  // A constant series fails the fit and keeps its mean, whose leakage fills the lowest bins.
  for (int i = 0; i < 200; ++i) ct.push_back(0.8 * i + 0.05 * std::cos(3.0 * i));
  EXPECT_FALSE(fit_trend(constant, ct).fitted);
  ASSERT_TRUE(LombScargle(0, constant, ct, spectrum, 500, 0.5));
  const std::vector<double> oracle = test_support::direct_lomb_scargle(0, constant, ct, 500, 0.5);
  EXPECT_GT(spectrum.power[0], 1e-3);
  EXPECT_LE(largest_difference(spectrum.power, oracle), kOracleTolerance * largest(oracle));
}

TEST(LombScargle, PeaksInTheBinOfASineSampledAtUnevenBeats) {
  std::mt19937_64 gen(42);
  std::uniform_real_distribution<double> jitter(0.6, 1.0);
  std::vector<double> t, rr;
  double now = 0.0;
  while (now < 600.0) {
    now += jitter(gen);
    t.push_back(now);
    rr.push_back(0.8 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * now));
  }
  PowerSpectrum spectrum;
  ASSERT_TRUE(LombScargle(5, rr, t, spectrum, 500, 0.5));
  const auto peak = static_cast<std::size_t>(
      std::max_element(spectrum.power.begin(), spectrum.power.end()) - spectrum.power.begin());
  EXPECT_EQ(peak, 99u) << "peak at " << spectrum.frequency(peak) << " Hz";
  EXPECT_NEAR(spectrum.frequency(peak), 0.1, 1e-12);
}

TEST(LombScargle, SetsUpTheGridUnlessThereAreNoFrequencies) {
  const Series s = random_series(50, 0.8, 0.0, 3);
  PowerSpectrum spectrum;
  ASSERT_TRUE(LombScargle(5, s.rr, s.t, spectrum, 500, 0.5));
  EXPECT_EQ(spectrum.power.size(), 500u);
  EXPECT_DOUBLE_EQ(spectrum.frequency(0), 0.001);
  EXPECT_DOUBLE_EQ(spectrum.frequency(499), 0.5);
  const PowerSpectrum before = spectrum;
  EXPECT_FALSE(LombScargle(5, s.rr, s.t, spectrum, 0, 1.0));
  EXPECT_EQ(spectrum.power, before.power);
  EXPECT_EQ(spectrum.df, before.df);
}

TEST(TaperWeights, HaveMeanSquareOneAndVanishAtTheEndsUnderHann) {
  const Series s = random_series(101, 0.8, 50.0, 4);
  for (std::uint32_t window : {0u, 1u, 2u, 3u, 4u, 5u}) {
    const std::vector<double> w = taper_weights(window, s.t);
    double meanSquare = 0.0;
    for (double x : w) meanSquare += x * x / w.size();
    EXPECT_NEAR(meanSquare, 1.0, 1e-12) << "taper " << window;  // a sum of 101 rounded squares
  }
  const std::vector<double> hann = taper_weights(5, s.t);
  EXPECT_NEAR(hann.front(), 0.0, 1e-15);
  EXPECT_NEAR(hann.back(), 0.0, 1e-15);
  // The weight follows the beat's time, not its index: the beat nearest the middle of the
  // span gets the largest weight.
  const double middle = 0.5 * (s.t.front() + s.t.back());
  std::size_t nearest = 0;
  for (std::size_t i = 0; i < s.t.size(); ++i)
    if (std::abs(s.t[i] - middle) < std::abs(s.t[nearest] - middle)) nearest = i;
  EXPECT_EQ(std::max_element(hann.begin(), hann.end()) - hann.begin(), static_cast<std::ptrdiff_t>(nearest));
}

TEST(TaperWeights, StayZeroWhenTheTaperVanishesAtEveryBeat) {
  const std::vector<double> t{10.0, 11.0};
  for (double w : taper_weights(5, t)) EXPECT_EQ(w, 0.0);
  for (double w : taper_weights(0, t)) EXPECT_EQ(w, 1.0);
}

TEST(FitTrend, FailsForTooFewPointsOrNoSpread) {
  EXPECT_FALSE(fit_trend(std::vector<double>{0.8}, std::vector<double>{1.0}).fitted);
  EXPECT_FALSE(fit_trend(std::vector<double>{0.8, 0.9, 1.0}, std::vector<double>{5.0, 5.0, 5.0}).fitted);  // Stt = 0
  EXPECT_FALSE(fit_trend(std::vector<double>{0.1, 0.1, 0.1}, std::vector<double>{1.0, 2.0, 3.0}).fitted);  // Syy = 0
  const LinearTrend none = fit_trend(std::vector<double>{0.1, 0.1}, std::vector<double>{1.0, 2.0});
  EXPECT_EQ(none.at(1.5), 0.0);  // nothing is subtracted, not even the mean
}

// A spectrum with a single non-zero bin shows which bins a band sums.
PowerSpectrum one_bin(std::size_t bin, std::uint32_t bins = 500, double fmax = 0.5) {
  PowerSpectrum s;
  set_up_grid(s, bins, fmax);
  std::fill(s.power.begin(), s.power.end(), 0.0);
  s.power[bin] = 1.0;
  return s;
}

TEST(BandPower, CountsABinOnTheEdgeInBothBands) {
  const double duration = 300.0;
  const double unit = 0.001 * duration;  // df × duration × one bin of 1 s²
  const PowerSpectrum edge = one_bin(39);  // 0.040 Hz
  EXPECT_DOUBLE_EQ(BandPower(edge, 0.0, 0.04, duration), unit);
  EXPECT_DOUBLE_EQ(BandPower(edge, 0.04, 0.15, duration), unit);
  const PowerSpectrum justAbove = one_bin(40);  // 0.041 Hz
  EXPECT_EQ(BandPower(justAbove, 0.0, 0.04, duration), 0.0);
  EXPECT_DOUBLE_EQ(BandPower(justAbove, 0.04, 0.15, duration), unit);
  EXPECT_DOUBLE_EQ(BandPower(one_bin(149), 0.04, 0.15, duration), unit);
  EXPECT_DOUBLE_EQ(BandPower(one_bin(149), 0.15, 0.45, duration), unit);
  EXPECT_EQ(BandPower(one_bin(150), 0.04, 0.15, duration), 0.0);
  EXPECT_DOUBLE_EQ(BandPower(one_bin(0), 0.0, 0.04, duration), unit);
  // An edge between two bins goes to the nearer one: 0.0406 Hz starts at the bin of 0.041 Hz.
  EXPECT_EQ(BandPower(one_bin(39), 0.0406, 0.15, duration), 0.0);
  EXPECT_DOUBLE_EQ(BandPower(one_bin(40), 0.0406, 0.15, duration), unit);
  EXPECT_DOUBLE_EQ(BandPower(one_bin(39), 0.0404, 0.15, duration), unit);
}

TEST(BandPower, SumsEveryBinOverTheWholeGridAndCutsAtItsEnds) {
  PowerSpectrum s;
  set_up_grid(s, 500, 0.5);
  for (std::size_t k = 0; k < 500; ++k) s.power[k] = static_cast<double>(k + 1);
  const double all = 500.0 * 501.0 / 2.0;
  EXPECT_DOUBLE_EQ(BandPower(s, 0.0, 0.5, 2.0), 0.001 * 2.0 * all);
  EXPECT_DOUBLE_EQ(BandPower(s, 0.3, 0.9, 2.0), 0.001 * 2.0 * (all - 299.0 * 300.0 / 2.0));  // from bin 299
  EXPECT_EQ(BandPower(s, 0.6, 0.9, 2.0), 0.0);   // lower edge above fmax
  EXPECT_EQ(BandPower(s, 0.2, 0.1, 2.0), 0.0);   // reversed band
  EXPECT_EQ(BandPower(s, -1e300, 1e300, 0.0), 0.0);  // no duration, and edges far outside stay safe
  EXPECT_EQ(BandPower(PowerSpectrum{}, 0.0, 0.5, 2.0), 0.0);  // no grid
}

}  // namespace
}  // namespace HRV
