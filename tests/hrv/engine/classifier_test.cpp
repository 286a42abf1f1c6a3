// SPDX-License-Identifier: MIT
#include "hrv/engine/classifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace HRV {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Hjorth {
  double activity = kNaN, mobility = kNaN, ff = kNaN;
};

Hjorth hjorth(const std::vector<float>& x, std::int32_t smoothing, double dt) {
  Hjorth h;
  HjorthComplexity(x, smoothing, dt, &h.activity, &h.mobility, &h.ff);
  return h;
}

// The measure written out the long way: every array in double, every smoothed value as an
// explicit mean over its window, variances from their definition.
Hjorth hjorth_oracle(const std::vector<float>& xf, std::int32_t smoothing, double dt) {
  const std::vector<double> x(xf.begin(), xf.end());
  auto diff = [dt](const std::vector<double>& v) {
    const std::size_t n = v.size();
    std::vector<double> d(n, 0.0);
    for (std::size_t i = 0; n >= 2 && i < n; ++i)
      d[i] = i == 0 ? (v[1] - v[0]) / dt : i == n - 1 ? (v[i] - v[i - 1]) / dt : (v[i + 1] - v[i - 1]) / (2 * dt);
    return d;
  };
  auto var = [](const std::vector<double>& v) {
    if (v.size() < 2) return 0.0;
    double mean = 0, ss = 0;
    for (double a : v) mean += a / static_cast<double>(v.size());
    for (double a : v) ss += (a - mean) * (a - mean);
    return ss / static_cast<double>(v.size() - 1);
  };
  const std::size_t L = static_cast<std::size_t>(std::max(smoothing, 1));
  const std::vector<double> d = diff(x);
  std::vector<double> m;
  for (std::size_t i = 0; d.size() >= L && i < d.size(); ++i) {
    const std::size_t last = std::max(i, L - 1);
    double sum = 0;
    for (std::size_t j = last + 1 - L; j <= last; ++j) sum += d[j];
    m.push_back(sum / static_cast<double>(L));
  }
  const double vx = var(x), vm = var(m), vs = var(diff(m));
  return {vx, std::sqrt(vm / vx), std::sqrt(vs * vx) / vm};
}

std::vector<float> sine(std::size_t n, double periods, double phase) {
  std::vector<float> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = static_cast<float>(std::sin(2 * std::numbers::pi * periods * static_cast<double>(i) / static_cast<double>(n) + phase));
  return x;
}

TEST(HjorthComplexity, MatchesTheLongHandDefinitionOnNoise) {
  std::mt19937 rng(20240611);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  for (std::size_t n : {2u, 3u, 4u, 7u, 64u, 501u}) {
    for (std::int32_t smoothing : {0, 1, 2, 4, 9}) {
      std::vector<float> x(n);
      for (float& v : x) v = 3.0f + noise(rng);
      SCOPED_TRACE("n " + std::to_string(n) + ", smoothing " + std::to_string(smoothing));
      const Hjorth got = hjorth(x, smoothing, 0.002), want = hjorth_oracle(x, smoothing, 0.002);
      // The derivatives are kept in single precision (relative rounding 6e-8 per value);
      // on noise the differences do not cancel, so 1e-5 leaves room for a few hundred
      // accumulated roundings while a wrong window or divisor is off by percent. FF is of
      // order 1 and exactly 0 for three samples, so it is held to an absolute bound there.
      EXPECT_NEAR(got.activity, want.activity, 1e-5 * want.activity);
      if (std::isnan(want.ff)) {
        EXPECT_TRUE(std::isnan(got.ff)) << got.ff;
      } else {
        EXPECT_NEAR(got.mobility, want.mobility, 1e-5 * want.mobility);
        EXPECT_NEAR(got.ff, want.ff, 1e-5 * std::max(want.ff, 1.0));
      }
    }
  }
}

// For a sampled sinusoid of angular step theta, the central difference scales it by
// sin(theta) / dt and the trailing mean over L' values by G = sin(L' theta / 2) /
// (L' sin(theta / 2)); the differentiations cancel in the ratio of mobilities, which leaves
// FF = 1 / G away from the ends. At each end up to L' + 2 values of the second derivative
// are distorted, each carrying at most 2/n of its variance, so the ends move FF by at most
// 2 (L' + 2) / n. Finer sampling shrinks both until single-precision rounding takes over
// (around n = 1e5), so the sizes stay well short of that.
TEST(HjorthComplexity, SineHasComplexityOneWithinDiscretisationError) {
  for (std::int32_t smoothing : {1, 4}) {
    double previous_error = std::numeric_limits<double>::infinity();
    for (std::size_t n : {200u, 2000u, 20000u}) {
      SCOPED_TRACE("n " + std::to_string(n) + ", smoothing " + std::to_string(smoothing));
      const double dt = 1.0 / static_cast<double>(n), theta = 2 * std::numbers::pi * 3.0 * dt;
      const double gain = std::sin(smoothing * theta / 2) / (smoothing * std::sin(theta / 2));
      const double ff = hjorth(sine(n, 3.0, 1.2), smoothing, dt).ff;
      EXPECT_NEAR(ff, 1.0 / gain, 2.0 * (smoothing + 2) / static_cast<double>(n));
      EXPECT_LT(std::abs(ff - 1.0), previous_error);
      previous_error = std::abs(ff - 1.0);
    }
  }
}

TEST(HjorthComplexity, FlatOrTooShortSegmentsHaveNoComplexity) {
  const Hjorth flat = hjorth(std::vector<float>(80, 1.5f), 4, 0.001);
  EXPECT_EQ(flat.activity, 0.0);
  EXPECT_TRUE(std::isnan(flat.mobility) && std::isnan(flat.ff)) << flat.mobility << " " << flat.ff;
  const Hjorth shorter = hjorth({0.0f, 1.0f, 4.0f}, 4, 0.001);  // three samples, L' = 4
  EXPECT_GT(shorter.activity, 0.0);
  EXPECT_TRUE(std::isnan(shorter.ff)) << shorter.ff;
  EXPECT_TRUE(std::isnan(hjorth({}, 1, 0.001).ff));
  EXPECT_TRUE(std::isnan(hjorth({2.0f}, 1, 0.001).ff));
}

TEST(ComplexitySegment, WindowAndSmoothingLength) {
  struct Case {
    std::int32_t tick, width, available, first, count;
  };
  const Case cases[] = {
      {30, 80, 10000, 0, 80},      // start below 1: from sample 0, samples 0..79
      {40, 80, 10000, 0, 80},      // start exactly 0
      {41, 80, 10000, 1, 80},      // start 1 stays
      {1000, 80, 10000, 960, 80},  // 40 samples before the tick
      {1000, 9, 10000, 996, 9},    // 9 / 2 = 4
      {9990, 80, 10000, 9950, 50}, // cut at the end of the record
      {10040, 80, 10000, 10000, 0},
  };
  for (const Case& c : cases) {
    const SampleRange r = complexity_segment(c.tick, c.width, c.available);
    EXPECT_EQ(std::pair(r.first, r.count), std::pair(c.first, c.count)) << "tick " << c.tick << ", width " << c.width;
  }
  // 5 % of the window, rounded: 9 gives 0.45 + 0.5, truncated to 0 (used as 1).
  for (auto [width, length] : {std::pair{80, 4}, {9, 0}, {10, 1}, {29, 1}, {30, 2}})
    EXPECT_EQ(smoothing_length(width), length) << "width " << width;
}

// Beats 1/256 s apart per tick, so that RR values are exact binary fractions.
constexpr double kDt = 1.0 / 256.0;
constexpr std::int32_t kWidth = 40;  // L = 2

const std::vector<float>& normal_segment() {
  static const std::vector<float> segment = sine(kWidth, 1.0, 0.4);
  return segment;
}
double normal_ff() { return hjorth(normal_segment(), smoothing_length(kWidth), kDt).ff; }
ClassifierBox test_box() { return {0.8, 1.2, normal_ff() - 0.25, normal_ff() + 0.25}; }

std::string hex(std::uint32_t flags) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", flags);
  return text;
}

// One beat of a run: where it is and how, and the flags, RR and delta-RR it must get.
struct Step {
  std::int32_t tick;
  std::uint32_t flags;
  double rr, deltaRR;
  bool flat = false;  // a segment without complexity
  bool user = false;
  float fraction = 0.0f;
  bool resetBefore = false;
};

void run(const char* what, bool exclude, const std::vector<Step>& steps) {
  BeatClassifier classifier(test_box(), exclude, kWidth, kDt);
  const std::vector<float> flat(kWidth, 2.0f);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE(std::string(what) + (exclude ? ", exclusion on" : ", exclusion off") + ", beat " + std::to_string(i));
    if (s.resetBefore) classifier.reset();
    FiducialEvent beat;
    beat.tick = s.tick;
    beat.fraction = s.fraction;
    classifier.classify(beat, s.flat ? flat : normal_segment(), s.user);
    EXPECT_EQ(hex(beat.flags), hex(s.flags));
    // An undefined value is the one quiet NaN of the beat record, bit for bit.
    for (auto [got, want] : {std::pair{beat.rr, s.rr}, {beat.deltaRR, s.deltaRR}}) {
      if (std::isnan(want)) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(kUndefined)) << got;
      } else {
        EXPECT_EQ(got, want);
      }
    }
    if (!std::isnan(s.rr)) {
      EXPECT_EQ(beat.rate, 1.0 / s.rr);
    }
  }
}

TEST(BeatClassifier, RunsOfBeatsGetTheirIntervalsAndFlags) {
  const std::uint32_t both = UseRR | UseDeltaRR;
  const double kNone = kNaN;  // no RR or delta-RR
  run("first beats", true, {{1000, ClassUnknown, kNone, kNone}, {1256, UseRR, 1.0, kNone}, {1576, ClassOutsideRR, 1.25, 0.25}});
  // A premature beat (RR 0.5 s) and the beat after it.
  run("ectopic beat", true, {{0, ClassUnknown, kNone, kNone}, {256, UseRR, 1.0, kNone}, {512, both, 1.0, 0.0},
                             {640, ClassOutsideRR, 0.5, -0.5}, {896, UseRR, 1.0, 0.5}, {1152, both, 1.0, 0.0}});
  run("ectopic beat", false, {{0, ClassUnknown, kNone, kNone}, {256, UseRR, 1.0, kNone}, {512, both, 1.0, 0.0},
                              {640, ClassOutsideRR | both, 0.5, -0.5}, {896, both, 1.0, 0.5}, {1152, both, 1.0, 0.0}});
  for (bool exclude : {true, false})
    run("unknown complexity", exclude, {{0, ClassUnknown, kNone, kNone}, {256, UseRR, 1.0, kNone},
                                        {512, ClassUnknown, 1.0, 0.0, true}, {768, exclude ? UseRR : both, 1.0, 0.0}});
  run("user added", true, {{0, UserAdded | ClassUnknown, kNone, kNone, false, true}, {256, UserAdded | UseRR, 1.0, kNone, false, true},
                           {512, both, 1.0, 0.0}});
  run("fraction and reset", false, {{100, ClassUnknown, kNone, kNone, false, false, 0.5f}, {356, UseRR, 255.5 / 256.0, kNone},
                                    {612, ClassUnknown, kNone, kNone, false, false, 0.0f, true}, {868, UseRR, 1.0, kNone}});
}

// An RR equal to an edge in whole samples lies on it, however the seconds round.
TEST(BeatClassifier, BoxEdgesCountAsInside) {
  const double rr = 205.0 / 256.0, ff = normal_ff(), up = std::numeric_limits<double>::infinity();
  struct Case {
    const char* edge;
    ClassifierBox box;
    std::uint32_t class_bits;
  };
  const Case cases[] = {
      {"MinRR at rr", {rr, 1.2, 0.0, 10.0}, 0},
      {"MinRR a rounding error above rr", {std::nextafter(rr, up), 1.2, 0.0, 10.0}, 0},
      {"MinRR a thousandth of a sample above rr", {rr + kDt / 1000, 1.2, 0.0, 10.0}, ClassOutsideRR},
      {"MaxRR at rr", {0.0, rr, 0.0, 10.0}, 0},
      {"MaxRR a rounding error below rr", {0.0, std::nextafter(rr, -up), 0.0, 10.0}, 0},
      {"MaxRR a thousandth of a sample below rr", {0.0, rr - kDt / 1000, 0.0, 10.0}, ClassOutsideRR},
      {"MinFF at ff", {0.0, 60.0, ff, 10.0}, 0},
      {"MinFF just above ff", {0.0, 60.0, std::nextafter(ff, up), 10.0}, ClassOutsideFF},
      {"MaxFF at ff", {0.0, 60.0, 0.0, ff}, 0},
      {"MaxFF just below ff", {0.0, 60.0, 0.0, std::nextafter(ff, -up)}, ClassOutsideFF},
      {"both outside", {1.0, 2.0, ff + 1.0, ff + 2.0}, ClassOutsideRR | ClassOutsideFF},
  };
  for (const Case& c : cases) {
    BeatClassifier classifier(c.box, false, kWidth, kDt);
    FiducialEvent first, beat;
    first.tick = 0, beat.tick = 205;
    classifier.classify(first, normal_segment(), false);
    classifier.classify(beat, normal_segment(), false);
    ASSERT_EQ(beat.rr, rr);
    ASSERT_EQ(beat.ff, ff);
    EXPECT_EQ(hex(beat.flags & ClassMask), hex(c.class_bits)) << c.edge;
  }
}

TEST(BeatClassifier, BeatsWithoutAWaveformAreClassifiedByTheirIntervalAlone) {
  // A complexity window of 0 samples (imported beats): no FF, and the box's FF range plays no part.
  BeatClassifier classifier({0.8, 1.2, 1.0, 1.5}, true, 0, kDt);
  FiducialEvent beats[4];
  for (int i = 0; i < 4; ++i) {
    beats[i].tick = i < 3 ? 256 * i : 640;  // RR 1 s, 1 s, then 0.5 s
    classifier.classify(beats[i], {}, false);
  }
  EXPECT_TRUE(std::isnan(beats[2].ff));
  EXPECT_EQ(hex(beats[2].flags) + " " + hex(beats[3].flags), hex(UseRR | UseDeltaRR) + " " + hex(ClassOutsideRR));
}

TEST(BeatClassifier, ComplexityFieldsComeFromTheSegmentWithFivePercentSmoothing) {
  const std::vector<float> segment = sine(80, 1.5, 0.2);
  FiducialEvent beat;
  beat.tick = 500;
  BeatClassifier({}, true, 80, 0.001).classify(beat, segment, false);
  const Hjorth want = hjorth(segment, 4, 0.001);
  EXPECT_EQ(beat.complexityA, want.activity);
  EXPECT_EQ(beat.complexityB, want.mobility);
  EXPECT_EQ(beat.ff, want.ff);
  EXPECT_NE(beat.ff, hjorth(segment, 1, 0.001).ff);  // the smoothing does matter here
  // W = 9 rounds the smoothing to 0, which behaves as no smoothing at all.
  BeatClassifier({}, true, 9, 0.001).classify(beat, segment, false);
  EXPECT_EQ(beat.ff, hjorth(segment, 1, 0.001).ff);
}

}  // namespace
}  // namespace HRV
