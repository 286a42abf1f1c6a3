// SPDX-License-Identifier: MIT
#include "korvel/signal/peak_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

using Events = std::vector<std::int64_t>;
using testing::run_whole;

// The rule applied to the whole record at once: list the candidates, then walk them.
Events detect_directly(std::span<const float> v, float height, std::int64_t period) {
  Events events;
  std::vector<float> heights;
  for (std::int64_t n = 0; n < static_cast<std::int64_t>(v.size()); ++n) {
    const double here = v[static_cast<std::size_t>(n)];
    if (!(testing::at_clamped(v, n - 1) < here && here >= testing::at_clamped(v, n + 1) && here > height)) continue;
    if (events.empty() || n - events.back() >= period) {
      events.push_back(n);
      heights.push_back(static_cast<float>(here));
    } else if (here > heights.back()) {
      events.back() = n;
      heights.back() = static_cast<float>(here);
    }
  }
  return events;
}

// A smooth bump of `height` centred on `at`, about 2 * width samples wide.
void add_bump(std::vector<float>& v, std::size_t at, float height, double width) {
  for (std::size_t n = 0; n < v.size(); ++n) {
    const double d = (static_cast<double>(n) - static_cast<double>(at)) / width;
    v[n] += static_cast<float>(height * std::exp(-d * d));
  }
}

std::unique_ptr<EventStage> detector(double height, double period_sec, double fs) {
  return make_peak_detector(height, period_sec, 30, 1 / fs);
}

TEST(PeakDetector, FindsEachBeatAboveTheThresholdOnly) {
  std::vector<float> v(3000, 0.0f);
  add_bump(v, 400, 8.0f, 4);
  add_bump(v, 1250, 5.0f, 4);
  add_bump(v, 1900, 2.5f, 4);  // below the threshold of 3
  add_bump(v, 2600, 9.0f, 4);
  const auto stage = detector(3, 0.3, 1000);
  EXPECT_EQ(run_whole(*stage, v), (Events{400, 1250, 2600}));
}

TEST(PeakDetector, LaterHigherPeakWithinThePeriodReplacesTheEvent) {
  constexpr double fs = 1000;
  std::vector<float> v(2000, 0.0f);
  add_bump(v, 500, 5.0f, 5);   // a large P wave crossing the threshold
  add_bump(v, 640, 12.0f, 3);  // the R wave 140 ms later
  add_bump(v, 900, 6.0f, 8);   // a T wave within 300 ms of R, lower: dropped
  add_bump(v, 1500, 10.0f, 3);
  const auto stage = detector(3, 0.3, fs);
  EXPECT_EQ(run_whole(*stage, v), (Events{640, 1500}));
}

TEST(PeakDetector, ReplacementRestartsThePeriodAndThePeriodIsAMinimumGap) {
  constexpr double fs = 100;
  std::vector<float> v(400, 0.0f);
  // Rising peaks 20 samples apart with a period of 30: each replaces the last, so one
  // event survives although the first and the last are 60 apart.
  add_bump(v, 50, 4.0f, 1.5);
  add_bump(v, 70, 5.0f, 1.5);
  add_bump(v, 90, 6.0f, 1.5);
  add_bump(v, 110, 7.0f, 1.5);
  add_bump(v, 140, 4.0f, 1.5);  // exactly 30 after the last event: a new one
  add_bump(v, 250, 4.0f, 1.5);
  add_bump(v, 279, 3.5f, 1.5);  // 29 after: lower, dropped
  add_bump(v, 330, 5.0f, 1.5);
  add_bump(v, 345, 5.0f, 1.5);  // as high, not higher: the earlier one stays
  const auto stage = detector(3, 0.3, fs);
  EXPECT_EQ(run_whole(*stage, v), (Events{110, 140, 250, 330}));
}

TEST(PeakDetector, PeriodInSecondsRoundsUpToWholeSamples) {
  // 0.06 s at 360 Hz is 21.6 samples: 21 samples (58 ms) are within it, 22 (61 ms) not.
  constexpr double fs = 360;
  std::vector<float> v(200, 0.0f);
  add_bump(v, 50, 6.0f, 1.5);
  add_bump(v, 71, 5.0f, 1.5);
  add_bump(v, 120, 6.0f, 1.5);
  add_bump(v, 142, 5.0f, 1.5);
  const auto stage = detector(3, 0.06, fs);
  EXPECT_EQ(run_whole(*stage, v), (Events{50, 120, 142}));
}

TEST(PeakDetector, MarksThePlateauStartAndTreatsTheRecordEdgesAsRepeats) {
  // A plateau at 1..3; the first sample is high but nothing rises to it; the last sample
  // ends a rise, and the repeat beyond the record does not rise further.
  const std::vector<float> v{9, 1, 5, 5, 5, 2, 0, 3, 1, 4, 6};
  const auto stage = detector(2, 0.0, 1000);
  EXPECT_EQ(run_whole(*stage, v), (Events{2, 7, 10}));
}

TEST(PeakDetector, MatchesTheRuleAppliedToTheWholeRecordOnNoise) {
  std::mt19937 rng(41);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  std::vector<float> v(20'000);
  for (float& x : v) x = noise(rng);
  for (const double period : {0.0, 0.004, 0.05}) {
    SCOPED_TRACE(::testing::Message() << "period " << period << " s");
    const auto stage = detector(1.5, period, 1000);
    const Events expected = detect_directly(v, 1.5f, static_cast<std::int64_t>(std::lround(period * 1000)));
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(run_whole(*stage, v), expected);
  }
}

}  // namespace
}  // namespace korvel::signal
