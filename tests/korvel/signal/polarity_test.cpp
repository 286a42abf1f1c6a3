// SPDX-License-Identifier: MIT
#include "korvel/signal/polarity.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace korvel::signal {
namespace {

// 60 s at 250 Hz of beats each made of Gaussian waves (centre s, width s, amplitude) on
// baseline wander and noise.
std::vector<float> beats(std::vector<std::array<double, 3>> waves, std::uint32_t seed) {
  const double fs = 250;
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 0.03);
  std::vector<float> x(static_cast<std::size_t>(60 * fs));
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / fs;
    const double u = std::fmod(t, 0.85);
    double v = 0.3 * std::sin(2 * std::numbers::pi * 0.25 * t) + noise(rng);
    for (const auto& [centre, width, amplitude] : waves) v += amplitude * std::exp(-0.5 * std::pow((u - centre) / width, 2));
    x[i] = static_cast<float>(v);
  }
  return x;
}

TEST(Polarity, FollowsTheDeflectionThatCarriesTheBeatAndFlipsExactlyWithTheSign) {
  struct Case {
    const char* what;
    std::vector<std::array<double, 3>> waves;
    Polarity expected;
  };
  const Case cases[] = {
      {"upright R wave with a tall T wave", {{0.2, 0.01, 1.2}, {0.22, 0.01, -0.3}, {0.5, 0.06, 0.6}}, Polarity::Positive},
      {"QS complex, upright T wave (MCL1)", {{0.2, 0.015, -1.0}, {0.5, 0.06, 0.5}}, Polarity::Negative},
      {"small r, deep S", {{0.19, 0.008, 0.3}, {0.21, 0.01, -0.9}, {0.5, 0.06, 0.3}}, Polarity::Negative},
      {"pressure pulse with a dicrotic wave", {{0.25, 0.08, 40}, {0.45, 0.04, 8}}, Polarity::Positive},
  };
  for (const Case& c : cases) {
    std::vector<float> x = beats(c.waves, 3);
    EXPECT_EQ(dominant_deflection(x, 1 / 250.0), c.expected) << c.what;
    for (float& v : x) v = -v;
    EXPECT_NE(dominant_deflection(x, 1 / 250.0), c.expected) << c.what << ", inverted";
  }
  EXPECT_EQ(dominant_deflection(std::span<const float>{}, 1e-3), Polarity::Positive);
}

// A long recording votes with segments spread over all of it: here the first 800 of 2000
// segments point down, so segments taken from its start alone would decide wrongly.
TEST(Polarity, VotesWithSegmentsSpreadOverALongRecording) {
  std::vector<float> x(2000 * 100, 0.0f);
  for (std::size_t segment = 0; segment < 2000; ++segment) x[segment * 100 + 50] = segment < 800 ? -1.0f : 1.0f;
  EXPECT_EQ(dominant_deflection(x, 0.1), Polarity::Positive);
  const std::vector<SamplePiece> halves{SamplePiece::of(std::span(x).first(40050)), SamplePiece::of(std::span(x).subspan(40050))};
  EXPECT_EQ(dominant_deflection(halves, 0.1), Polarity::Positive) << "in two pieces";
  for (float& v : x) v = -v;
  EXPECT_EQ(dominant_deflection(x, 0.1), Polarity::Negative) << "inverted";
}

}  // namespace
}  // namespace korvel::signal
