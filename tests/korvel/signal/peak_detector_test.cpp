// SPDX-License-Identifier: MIT
#include "korvel/signal/peak_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "korvel/signal/functions.h"
#include "stage_runner.h"

namespace korvel::signal {
namespace {

using Events = std::vector<std::int64_t>;
using testing::run_whole;

// The rules applied to the whole record at once: list the candidates, walk them with the
// fixed rule, then judge each event against the (up to) 8 beats accepted before it since
// the last pause of over 3 s, sorting their peaks and intervals afresh each time.
Events detect_directly(std::span<const float> v, float height, std::int64_t period, double fs) {
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
  Events beats;
  std::vector<float> peaks;  // of beats since the last pause
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (!beats.empty() && static_cast<double>(events[i] - beats.back()) > 3 * fs) peaks.clear();
    const std::size_t recent = std::min<std::size_t>(peaks.size(), 8);
    if (recent >= 3) {
      std::vector<float> p(peaks.end() - static_cast<std::ptrdiff_t>(recent), peaks.end());
      std::vector<std::int64_t> gaps;
      for (std::size_t k = beats.size() - recent + 1; k < beats.size(); ++k) gaps.push_back(beats[k] - beats[k - 1]);
      std::sort(p.begin(), p.end());
      std::sort(gaps.begin(), gaps.end());
      const auto refractory = std::clamp<std::int64_t>(std::llround(0.5 * static_cast<double>(gaps[(gaps.size() - 1) / 4])), period,
                                                       std::max<std::int64_t>(period, std::llround(fs)));
      if (events[i] - beats.back() < refractory && heights[i] < 0.7f * p[recent / 2]) continue;
    }
    beats.push_back(events[i]);
    peaks.push_back(heights[i]);
  }
  return beats;
}

std::unique_ptr<EventStage> detector(double height, double period_sec, double fs) {
  return make_peak_detector(height, period_sec, 30, 1 / fs);
}

TEST(PeakDetector, KeepsTheHighestPeakAboveTheThresholdWithinEachPeriod) {
  struct Bump {
    std::size_t at;
    float height;
    double width;  // about half the bump's width in samples
  };
  struct Case {
    const char* what;
    double fs, period_sec;
    std::size_t length;
    std::vector<Bump> bumps;
    Events expected;
  };
  const Case cases[] = {
      {"every beat above the threshold of 3 only", 1000, 0.3, 3000, {{400, 8, 4}, {1250, 5, 4}, {1900, 2.5f, 4}, {2600, 9, 4}},
       {400, 1250, 2600}},
      // A large P wave crossing the threshold, the R wave 140 ms later replacing it, a lower T
      // wave within 300 ms of R dropped.
      {"a later higher peak replaces the event", 1000, 0.3, 2000, {{500, 5, 5}, {640, 12, 3}, {900, 6, 8}, {1500, 10, 3}}, {640, 1500}},
      // Rising peaks 20 samples apart with a period of 30 each replace the last, so one event
      // survives although the first and the last are 60 apart; 30 after the last event is a
      // new one; 29 after and lower is dropped; as high but not higher, the earlier one stays.
      {"a replacement restarts the period, which is a minimum gap", 100, 0.3, 400,
       {{50, 4, 1.5}, {70, 5, 1.5}, {90, 6, 1.5}, {110, 7, 1.5}, {140, 4, 1.5}, {250, 4, 1.5}, {279, 3.5f, 1.5}, {330, 5, 1.5}, {345, 5, 1.5}},
       {110, 140, 250, 330}},
      // 0.06 s at 360 Hz is 21.6 samples: 21 samples (58 ms) are within it, 22 (61 ms) not.
      {"the period rounds up to whole samples", 360, 0.06, 200, {{50, 6, 1.5}, {71, 5, 1.5}, {120, 6, 1.5}, {142, 5, 1.5}}, {50, 120, 142}},
      // Beats every 800 samples: 300 after one lies within half the interval, where a
      // low event (a notch, a T wave) is refused and one of the usual height is not.
      {"a low event in the refractory time after a beat is refused", 1000, 0.3, 5000,
       {{500, 10, 4}, {1300, 10, 4}, {2100, 10, 4}, {2900, 10, 4}, {3200, 5, 4}, {3700, 10, 4}, {4000, 9, 4}, {4500, 10, 4}},
       {500, 1300, 2100, 2900, 3700, 4000, 4500}},
      {"the beats are forgotten after a pause of over 3 s", 1000, 0.3, 7500,
       {{500, 10, 4}, {1300, 10, 4}, {2100, 10, 4}, {2900, 10, 4}, {6500, 10, 4}, {6800, 5, 4}},
       {500, 1300, 2100, 2900, 6500, 6800}},
      // Low premature beats 400 after each sinus beat, then 1200 to the next: the short
      // intervals set the refractory time, so the rule cannot lock onto every other beat.
      {"low premature beats in bigeminy are kept", 1000, 0.3, 6500,
       {{500, 10, 4}, {900, 4, 4}, {2100, 10, 4}, {2500, 4, 4}, {3700, 10, 4}, {4100, 4, 4}, {5300, 10, 4}, {5700, 4, 4}},
       {500, 900, 2100, 2500, 3700, 4100, 5300, 5700}},
  };
  for (const Case& c : cases) {
    std::vector<float> v(c.length, 0.0f);
    for (const Bump& b : c.bumps)
      for (std::size_t n = 0; n < v.size(); ++n) {
        const double d = (static_cast<double>(n) - static_cast<double>(b.at)) / b.width;
        v[n] += static_cast<float>(b.height * std::exp(-d * d));
      }
    EXPECT_EQ(run_whole(*detector(3, c.period_sec, c.fs), v), c.expected) << c.what;
  }
}

TEST(PeakDetector, MarksThePlateauStartAndTreatsTheRecordEdgesAsRepeats) {
  // A plateau at 1..3; the first sample is high but nothing rises to it; the last sample
  // ends a rise, and the repeat beyond the record does not rise further.
  const std::vector<float> v{9, 1, 5, 5, 5, 2, 0, 3, 1, 4, 6};
  EXPECT_EQ(run_whole(*detector(2, 0.0, 1000), v), (Events{2, 7, 10}));
}

TEST(PeakDetector, MatchesTheRuleAppliedToTheWholeRecordOnNoise) {
  std::mt19937 rng(41);
  std::normal_distribution<float> noise(0.0f, 1.0f);
  std::vector<float> v(20'000);
  for (float& x : v) x = noise(rng);
  for (const double period : {0.0, 0.004, 0.05}) {
    SCOPED_TRACE(::testing::Message() << "period " << period << " s");
    const Events expected = detect_directly(v, 1.5f, static_cast<std::int64_t>(std::lround(period * 1000)), 1000);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(run_whole(*detector(1.5, period, 1000), v), expected);
  }
}

}  // namespace
}  // namespace korvel::signal
