// SPDX-License-Identifier: MIT
#include "korvel/signal/lowpass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>

#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

using testing::at_clamped;
using testing::run_whole;


// Magnitude of the kernel's response at `hz`, in double.
double response(const std::vector<float>& kernel, double hz, double fs) {
  const double centre = static_cast<double>(kernel.size() - 1) / 2;
  double sum = 0;
  for (std::size_t i = 0; i < kernel.size(); ++i) {
    sum += kernel[i] * std::cos(2 * std::numbers::pi * hz / fs * (static_cast<double>(i) - centre));
  }
  return std::abs(sum);
}

struct Design {
  double cutoff_hz;
  double fs;
  std::size_t taps;
};

void PrintTo(const Design& d, std::ostream* out) {
  *out << d.cutoff_hz << " Hz at " << d.fs << " Hz, " << d.taps << " taps";
}

class LowpassDesign : public ::testing::TestWithParam<Design> {};

TEST_P(LowpassDesign, HasOddLengthUnitDcGainAndDeepStopBand) {
  const auto [fc, fs, taps] = GetParam();
  const std::vector<float> kernel = lowpass_kernel(fc, fs);
  ASSERT_EQ(kernel.size(), taps);
  // Float taps carry a relative error of 6e-8 each.
  EXPECT_NEAR(std::accumulate(kernel.begin(), kernel.end(), 0.0), 1.0, 1e-6);
  for (std::size_t i = 0; i < kernel.size(); ++i) EXPECT_EQ(kernel[i], kernel[kernel.size() - 1 - i]) << i;
  // Pass band: flat to 0.1 % up to half the cut-off; -6 dB at the cut-off.
  for (double f = 0; f <= fc / 2; f += fc / 20) EXPECT_NEAR(response(kernel, f, fs), 1.0, 1e-3) << f << " Hz";
  EXPECT_NEAR(response(kernel, fc, fs), 0.5, 0.01);
  // Stop band from about 1.5 fc (1.55 fc for the shortest kernels, whose length is
  // rounded up less): the Blackman window's side lobes stay below -70 dB.
  for (double f = 1.55 * fc; f <= fs / 2; f += fc / 20) {
    EXPECT_LT(response(kernel, f, fs), std::pow(10.0, -70.0 / 20)) << f << " Hz";
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, LowpassDesign,
                         ::testing::Values(Design{30, 1000, 185}, Design{30, 360, 67}, Design{150, 1000, 37},
                                           Design{60, 250, 23}));

// Direct-form convolution in double, samples beyond the record repeating the edge sample.
std::vector<double> convolve(const std::vector<float>& kernel, std::span<const float> x) {
  const auto half = static_cast<std::int64_t>(kernel.size() / 2);
  std::vector<double> y(x.size());
  for (std::size_t n = 0; n < x.size(); ++n) {
    for (std::int64_t k = -half; k <= half; ++k) {
      y[n] += kernel[static_cast<std::size_t>(k + half)] * at_clamped(x, static_cast<std::int64_t>(n) - k);
    }
  }
  return y;
}

std::vector<float> test_signal(std::size_t length, double fs, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, 0.3f);
  std::vector<float> x(length);
  for (std::size_t n = 0; n < length; ++n) {
    x[n] = static_cast<float>(1.5 + std::sin(2 * std::numbers::pi * 7 * static_cast<double>(n) / fs)) + noise(rng);
  }
  return x;
}

class LowpassStageVsDirect : public ::testing::TestWithParam<Design> {};

TEST_P(LowpassStageVsDirect, MatchesDirectConvolutionIncludingTheEdges) {
  const auto [fc, fs, taps] = GetParam();
  // Long enough for several FFT blocks, and not a multiple of any block size.
  const std::vector<float> x = test_signal(9 * taps + 4321, fs, 7);
  const auto stage = make_lowpass(fc, 1 / fs);
  const std::vector<float> y = run_whole(*stage, x);
  const std::vector<double> expected = convolve(lowpass_kernel(fc, fs), x);
  ASSERT_EQ(y.size(), x.size());
  // Float arithmetic: the FFT path's rounding grows with log2 of the transform size
  // (about 1e-6 of the signal's peak of 3); the direct path accumulates `taps` float products.
  for (std::size_t n = 0; n < y.size(); ++n) ASSERT_NEAR(y[n], expected[n], 2e-5) << "sample " << n;
}

// Up to 191 taps the direct path, beyond it the FFT path.
INSTANTIATE_TEST_SUITE_P(BothPaths, LowpassStageVsDirect,
                         ::testing::Values(Design{30, 1000, 185}, Design{30, 360, 67}, Design{150, 1000, 37},
                                           Design{20, 1000, 275}, Design{1, 250, 1375}));

TEST(LowpassStage, PassesTheSignalThroughAtOrAboveNyquist) {
  const std::vector<float> x = test_signal(1000, 1000, 3);
  for (const double fc : {500.0, 800.0}) {
    const auto stage = make_lowpass(fc, 1e-3);
    EXPECT_EQ(stage->latency(), 0u) << fc;
    EXPECT_EQ(run_whole(*stage, x), x) << fc;
  }
}

}  // namespace
}  // namespace korvel::signal
