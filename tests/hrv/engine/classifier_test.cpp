// SPDX-License-Identifier: MIT
#include "hrv/engine/classifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using HRV::BeatClassifier;
using HRV::ClassifierBox;
using HRV::FiducialEvent;
using HRV::HjorthComplexity;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint64_t kUndefinedBits = 0x7FF8600000000000;

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
    for (std::size_t i = 0; n >= 2 && i < n; ++i) {
      if (i == 0) d[i] = (v[1] - v[0]) / dt;
      else if (i == n - 1) d[i] = (v[i] - v[i - 1]) / dt;
      else d[i] = (v[i + 1] - v[i - 1]) / (2 * dt);
    }
    return d;
  };
  auto var = [](const std::vector<double>& v) {
    if (v.size() < 2) return 0.0;
    double mean = 0;
    for (double a : v) mean += a / static_cast<double>(v.size());
    double ss = 0;
    for (double a : v) ss += (a - mean) * (a - mean);
    return ss / static_cast<double>(v.size() - 1);
  };
  const std::size_t L = static_cast<std::size_t>(std::max(smoothing, 1));
  const std::vector<double> d = diff(x);
  std::vector<double> m;
  if (d.size() >= L) {
    for (std::size_t i = 0; i < d.size(); ++i) {
      const std::size_t last = std::max(i, L - 1);
      double sum = 0;
      for (std::size_t j = last + 1 - L; j <= last; ++j) sum += d[j];
      m.push_back(sum / static_cast<double>(L));
    }
  }
  const std::vector<double> s = diff(m);
  const double vx = var(x), vm = var(m), vs = var(s);
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
      const double dt = 1.0 / 500.0;
      SCOPED_TRACE("n " + std::to_string(n) + ", smoothing " + std::to_string(smoothing));
      const Hjorth got = hjorth(x, smoothing, dt);
      const Hjorth want = hjorth_oracle(x, smoothing, dt);
      // The derivatives are kept in single precision (relative rounding 6e-8 per value);
      // on noise the differences do not cancel, so 1e-5 leaves room for a few hundred
      // accumulated roundings while a wrong window or divisor is off by percent.
      const double tol = 1e-5;
      EXPECT_NEAR(got.activity, want.activity, tol * want.activity);
      if (std::isnan(want.ff)) {
        EXPECT_TRUE(std::isnan(got.ff)) << got.ff;
      } else {
        EXPECT_NEAR(got.mobility, want.mobility, tol * want.mobility);
        // FF is a ratio of order 1; with three samples the second derivative is constant and
        // FF is exactly 0, so it is held to an absolute bound there.
        EXPECT_NEAR(got.ff, want.ff, tol * std::max(want.ff, 1.0));
      }
    }
  }
}

// For a sampled sinusoid of angular step theta = omega * dt, the central difference scales
// every sinusoid by sin(theta) / dt, and the trailing mean over L' values by
// G = sin(L' theta / 2) / (L' sin(theta / 2)). Both differentiations cancel in the ratio of
// mobilities, which leaves FF = 1 / G (about 1 + (L'^2 - 1) theta^2 / 24) away from the
// ends. At each end up to L' + 2 values of the second derivative are distorted (one-sided
// differences, the L' equal leading smoothed values); each carries at most twice the mean
// square of a sinusoid, i.e. 2/n of Vs, and FF goes with sqrt(Vs), so the ends move FF by
// at most 2 (L' + 2) / n. Finer sampling shrinks both terms until single-precision
// rounding of the twice-differentiated samples takes over (around n = 1e5 for a few
// periods), so the sizes below stay well short of that.
TEST(HjorthComplexity, SineHasComplexityOneWithinDiscretisationError) {
  const double periods = 3.0, phase = 1.2;
  for (std::int32_t smoothing : {1, 4}) {
    double previous_error = std::numeric_limits<double>::infinity();
    for (std::size_t n : {200u, 2000u, 20000u}) {
      SCOPED_TRACE("n " + std::to_string(n) + ", smoothing " + std::to_string(smoothing));
      const double dt = 1.0 / static_cast<double>(n);
      const double theta = 2 * std::numbers::pi * periods * dt;
      const double gain = std::sin(smoothing * theta / 2) / (smoothing * std::sin(theta / 2));
      const double edge_bound = 2.0 * (smoothing + 2) / static_cast<double>(n);
      const double ff = hjorth(sine(n, periods, phase), smoothing, dt).ff;
      EXPECT_NEAR(ff, 1.0 / gain, edge_bound);
      const double error = std::abs(ff - 1.0);
      EXPECT_LT(error, previous_error);
      previous_error = error;
    }
  }
}

TEST(HjorthComplexity, FlatOrTooShortSegmentsHaveNoComplexity) {
  const Hjorth flat = hjorth(std::vector<float>(80, 1.5f), 4, 0.001);
  EXPECT_EQ(flat.activity, 0.0);
  EXPECT_TRUE(std::isnan(flat.mobility)) << flat.mobility;
  EXPECT_TRUE(std::isnan(flat.ff)) << flat.ff;

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
      {30, 80, 10000, 0, 80},     // start below 1: from sample 0, samples 0..79
      {40, 80, 10000, 0, 80},     // start exactly 0
      {41, 80, 10000, 1, 80},     // start 1 stays
      {1000, 80, 10000, 960, 80}, // 40 samples before the tick
      {1000, 9, 10000, 996, 9},   // 9 / 2 = 4
      {9990, 80, 10000, 9950, 50},// cut at the end of the record
      {10040, 80, 10000, 10000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("tick " + std::to_string(c.tick) + ", width " + std::to_string(c.width));
    const HRV::SampleRange r = HRV::complexity_segment(c.tick, c.width, c.available);
    EXPECT_EQ(r.first, c.first);
    EXPECT_EQ(r.count, c.count);
  }
  EXPECT_EQ(HRV::smoothing_length(80), 4);
  EXPECT_EQ(HRV::smoothing_length(9), 0);  // 0.45 + 0.5 truncates to 0, used as 1
  EXPECT_EQ(HRV::smoothing_length(10), 1);
  EXPECT_EQ(HRV::smoothing_length(29), 1);
  EXPECT_EQ(HRV::smoothing_length(30), 2);
}

// Beats 1/256 s apart per tick, so that RR values are exact binary fractions.
constexpr double kDt = 1.0 / 256.0;
constexpr std::int32_t kWidth = 40;  // L = 2

// A segment whose FF lies well inside the test box below.
const std::vector<float>& normal_segment() {
  static const std::vector<float> segment = sine(kWidth, 1.0, 0.4);
  return segment;
}
double normal_ff() { return hjorth(normal_segment(), HRV::smoothing_length(kWidth), kDt).ff; }

ClassifierBox test_box() { return {0.8, 1.2, normal_ff() - 0.25, normal_ff() + 0.25}; }

struct BeatRun {
  BeatClassifier classifier;
  FiducialEvent next(std::int32_t tick, const std::vector<float>& segment = normal_segment(), bool userAdded = false,
                     float fraction = 0.0f) {
    FiducialEvent beat;
    beat.tick = tick;
    beat.fraction = fraction;
    classifier.classify(beat, segment, userAdded);
    return beat;
  }
};

BeatRun run(bool exclude, ClassifierBox box = test_box()) { return {BeatClassifier(box, exclude, kWidth, kDt)}; }

std::string hex(std::uint32_t flags) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", flags);
  return text;
}

TEST(BeatClassifier, FirstBeatIsUnknownAndSecondHasNoDeltaRR) {
  BeatRun r = run(true);
  const FiducialEvent first = r.next(1000);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(first.rr), kUndefinedBits);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(first.rate), kUndefinedBits);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(first.deltaRR), kUndefinedBits);
  EXPECT_EQ(hex(first.flags), hex(HRV::ClassUnknown));
  EXPECT_EQ(HRV::display_class(first), HRV::BeatDisplayClass::Unknown);

  const FiducialEvent second = r.next(1256);
  EXPECT_EQ(second.rr, 1.0);
  EXPECT_EQ(second.rate, 1.0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(second.deltaRR), kUndefinedBits);
  EXPECT_EQ(hex(second.flags), hex(HRV::UseRR));
  EXPECT_EQ(HRV::display_class(second), HRV::BeatDisplayClass::Unknown);

  const FiducialEvent third = r.next(1256 + 320);
  EXPECT_EQ(third.rr, 1.25);
  EXPECT_EQ(third.rate, 0.8);
  EXPECT_EQ(third.deltaRR, 0.25);
  EXPECT_EQ(hex(third.flags), hex(HRV::ClassOutsideRR));
}

TEST(BeatClassifier, ComplexityFieldsComeFromTheSegmentWithFivePercentSmoothing) {
  const std::vector<float> segment = sine(80, 1.5, 0.2);
  BeatClassifier classifier({}, true, 80, 0.001);
  FiducialEvent beat;
  beat.tick = 500;
  classifier.classify(beat, segment, false);
  const Hjorth want = hjorth(segment, 4, 0.001);
  EXPECT_EQ(beat.complexityA, want.activity);
  EXPECT_EQ(beat.complexityB, want.mobility);
  EXPECT_EQ(beat.ff, want.ff);
  EXPECT_NE(beat.ff, hjorth(segment, 1, 0.001).ff);  // the smoothing does matter here

  // W = 9 rounds the smoothing to 0, which behaves as no smoothing at all.
  BeatClassifier narrow({}, true, 9, 0.001);
  narrow.classify(beat, segment, false);
  EXPECT_EQ(beat.ff, hjorth(segment, 1, 0.001).ff);
}

TEST(BeatClassifier, EctopicBeatAndTheBeatAfterItWithExclusionOnAndOff) {
  struct Expected {
    std::uint32_t n1, e, n2, n3;
    HRV::BeatDisplayClass e_class, n2_class;
  };
  for (bool exclude : {true, false}) {
    SCOPED_TRACE(exclude ? "exclusion on" : "exclusion off");
    const Expected want = exclude ? Expected{HRV::UseRR | HRV::UseDeltaRR, HRV::ClassOutsideRR, HRV::UseRR,
                                             HRV::UseRR | HRV::UseDeltaRR, HRV::BeatDisplayClass::Ectopic,
                                             HRV::BeatDisplayClass::Unused}
                                  : Expected{HRV::UseRR | HRV::UseDeltaRR, HRV::ClassOutsideRR | HRV::UseRR | HRV::UseDeltaRR,
                                             HRV::UseRR | HRV::UseDeltaRR, HRV::UseRR | HRV::UseDeltaRR,
                                             HRV::BeatDisplayClass::Ectopic, HRV::BeatDisplayClass::Normal};
    BeatRun r = run(exclude);
    r.next(0);
    r.next(256);
    const FiducialEvent n1 = r.next(512);
    const FiducialEvent e = r.next(640);  // premature: rr 0.5 s
    const FiducialEvent n2 = r.next(896);
    const FiducialEvent n3 = r.next(1152);
    EXPECT_EQ(hex(n1.flags), hex(want.n1));
    EXPECT_EQ(hex(e.flags), hex(want.e));
    EXPECT_EQ(hex(n2.flags), hex(want.n2));
    EXPECT_EQ(hex(n3.flags), hex(want.n3));
    EXPECT_EQ(n2.deltaRR, 0.5);
    EXPECT_EQ(HRV::display_class(e), want.e_class);
    EXPECT_EQ(HRV::display_class(n2), want.n2_class);
    EXPECT_EQ(HRV::display_class(n3), HRV::BeatDisplayClass::Normal);
    EXPECT_EQ(e.included(), !exclude);
    EXPECT_EQ(n2.included(), !exclude);
    EXPECT_TRUE(n3.included());
  }
}

TEST(BeatClassifier, BoxEdgesCountAsInside) {
  const double rr = 205.0 / 256.0;  // the interval of the second beat below
  const double ff = normal_ff();
  const double up = std::numeric_limits<double>::infinity();
  struct Case {
    const char* edge;
    ClassifierBox box;
    std::uint32_t class_bits;
  };
  const Case cases[] = {
      {"MinRR at rr", {rr, 1.2, 0.0, 10.0}, 0},
      {"MinRR just above rr", {std::nextafter(rr, up), 1.2, 0.0, 10.0}, HRV::ClassOutsideRR},
      {"MaxRR at rr", {0.0, rr, 0.0, 10.0}, 0},
      {"MaxRR just below rr", {0.0, std::nextafter(rr, -up), 0.0, 10.0}, HRV::ClassOutsideRR},
      {"MinFF at ff", {0.0, 60.0, ff, 10.0}, 0},
      {"MinFF just above ff", {0.0, 60.0, std::nextafter(ff, up), 10.0}, HRV::ClassOutsideFF},
      {"MaxFF at ff", {0.0, 60.0, 0.0, ff}, 0},
      {"MaxFF just below ff", {0.0, 60.0, 0.0, std::nextafter(ff, -up)}, HRV::ClassOutsideFF},
      {"both outside", {1.0, 2.0, ff + 1.0, ff + 2.0}, HRV::ClassOutsideRR | HRV::ClassOutsideFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    BeatRun r = run(false, c.box);
    r.next(0);
    const FiducialEvent beat = r.next(205);
    ASSERT_EQ(beat.rr, rr);
    ASSERT_EQ(beat.ff, ff);
    EXPECT_EQ(hex(beat.flags & HRV::ClassMask), hex(c.class_bits));
  }
}

TEST(BeatClassifier, UnknownComplexityMakesTheBeatUnknownAndCutsTheNextDifference) {
  const std::vector<float> flat(kWidth, 2.0f);
  for (bool exclude : {true, false}) {
    SCOPED_TRACE(exclude ? "exclusion on" : "exclusion off");
    BeatRun r = run(exclude);
    r.next(0);
    r.next(256);
    const FiducialEvent unknown = r.next(512, flat);
    EXPECT_EQ(unknown.rr, 1.0);
    EXPECT_EQ(hex(unknown.flags), hex(HRV::ClassUnknown));
    const FiducialEvent after = r.next(768);
    EXPECT_EQ(after.deltaRR, 0.0);
    EXPECT_EQ(hex(after.flags), hex(exclude ? HRV::UseRR : HRV::UseRR | HRV::UseDeltaRR));
  }
}

TEST(BeatClassifier, UserAddedBeatsAreMarkedUnknownOnesIncluded) {
  BeatRun r = run(true);
  EXPECT_EQ(hex(r.next(0, normal_segment(), true).flags), hex(HRV::UserAdded | HRV::ClassUnknown));
  EXPECT_EQ(hex(r.next(256, normal_segment(), true).flags), hex(HRV::UserAdded | HRV::UseRR));
  EXPECT_EQ(hex(r.next(512).flags), hex(HRV::UseRR | HRV::UseDeltaRR));
}

TEST(BeatClassifier, PreviousFractionShortensTheInterval) {
  BeatRun r = run(false);
  r.next(100, normal_segment(), false, 0.5f);
  const FiducialEvent beat = r.next(356);
  EXPECT_EQ(beat.rr, 255.5 / 256.0);
}

TEST(BeatClassifier, ResetStartsANewRun) {
  BeatRun r = run(true);
  r.next(0);
  r.next(256);
  r.classifier.reset();
  const FiducialEvent first = r.next(512);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(first.rr), kUndefinedBits);
  EXPECT_EQ(hex(first.flags), hex(HRV::ClassUnknown));
  const FiducialEvent second = r.next(768);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(second.deltaRR), kUndefinedBits);
  EXPECT_EQ(hex(second.flags), hex(HRV::UseRR));
}

}  // namespace
