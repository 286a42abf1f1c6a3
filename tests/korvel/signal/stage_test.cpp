// SPDX-License-Identifier: MIT
// Every signal function gives the same output, bit for bit, whether a record arrives in
// one piece or in random pieces while it grows, and emits within its declared latency.
#include "korvel/signal/stage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

struct PieceCase {
  const char* name;
  std::vector<double> args;
  double fs;
  std::size_t length;
  std::size_t max_piece;
};

std::ostream& operator<<(std::ostream& out, const PieceCase& c) {
  out << c.name << "(x";
  for (const double a : c.args) out << "," << a;
  return out << ") at " << c.fs << " Hz, " << c.length << " samples, pieces up to " << c.max_piece;
}

// ECG-like input: a spike train on a wandering baseline with noise.
std::vector<float> input_for(const PieceCase& c) {
  std::mt19937 rng(97);
  std::normal_distribution<float> noise(0.0f, 0.05f);
  std::vector<float> x(c.length);
  for (std::size_t n = 0; n < x.size(); ++n) {
    const double t = static_cast<double>(n) / c.fs;
    const double phase = std::fmod(t, 0.8) - 0.4;
    x[n] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 0.3 * t) + std::exp(-phase * phase / 2e-4)) + noise(rng);
  }
  if (std::string(c.name) == "normalizeSec") {
    for (float& v : x) v *= v;  // a squared envelope
  }
  return x;
}

class StreamedEqualsWhole : public ::testing::TestWithParam<PieceCase> {};

TEST_P(StreamedEqualsWhole, ForRandomPieceSizes) {
  const PieceCase& c = GetParam();
  const SignalFunction* function = find_signal_function(c.name);
  ASSERT_NE(function, nullptr);
  const std::vector<float> x = input_for(c);
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    Stage whole = function->make(c.args, 1 / c.fs);
    Stage streamed = function->make(c.args, 1 / c.fs);
    if (whole.sampled) {
      const std::vector<float> expected = testing::run_whole(*whole.sampled, x);
      ASSERT_EQ(expected.size(), x.size());
      EXPECT_EQ(testing::run_in_pieces(*streamed.sampled, x, seed, c.max_piece), expected);
    } else {
      const std::vector<std::int64_t> expected = testing::run_whole(*whole.events, x);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(testing::run_in_pieces(*streamed.events, x, seed, c.max_piece), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllFunctions, StreamedEqualsWhole,
    ::testing::Values(PieceCase{"lowpass", {20}, 1000, 20'000, 3000},       // FFT overlap-save
                      PieceCase{"lowpass", {20}, 1000, 5'000, 40},          // FFT, pieces smaller than a block
                      PieceCase{"lowpass", {30}, 360, 5'000, 200},          // direct form
                      PieceCase{"lowpass", {600}, 1000, 2'000, 100},        // pass-through
                      PieceCase{"differentiate", {3}, 1000, 5'000, 100},
                      PieceCase{"resample", {1, 1, 1, 160, 0, 2}, 1000, 5'000, 300},
                      PieceCase{"resample", {1, 1, 1, 21, 0, 2}, 360, 2'000, 7},
                      PieceCase{"normalizeSec", {5, 2.5, 0}, 1000, 20'000, 2500},
                      PieceCase{"normalizeSec", {1, 0.2, 0.001}, 360, 5'000, 50},
                      PieceCase{"cmpeakdet", {0.5, 0.3, 30}, 1000, 20'000, 700},
                      PieceCase{"cmpeakdet", {0.5, 0.06, 30}, 360, 5'000, 5}));

}  // namespace
}  // namespace korvel::signal
