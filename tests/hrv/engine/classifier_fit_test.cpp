// SPDX-License-Identifier: MIT
#include "hrv/engine/classifier_fit.h"

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using HRV::ClassifierBox;
using HRV::PlotPoint;

enum class Kind { Sinus, Premature, AfterPause };

// A synthetic recording: (RR s, FF) per beat in order, and the kind of each beat.
struct Beats {
  std::vector<PlotPoint> points;
  std::vector<Kind> kinds;
};

// Sinus beats around `rr` (s) and `ff` with beat-to-beat jitter of 3 % and 2 %; `rr` may be
// a function of the beat index (a drifting rate). `ectopic(i)` returns a premature beat's
// coupling ratio (its RR over the sinus RR, 0 for a sinus beat), followed by a compensatory
// pause; such beats have FF `ectopicFF`.
Beats recording(std::size_t n, std::function<double(std::size_t)> rr, double ff, std::function<double(std::size_t)> ectopic,
                double ectopicFF, std::uint32_t seed = 7) {
  std::mt19937 random(seed);
  std::normal_distribution<double> jitter(0.0, 1.0);
  Beats b;
  double pause = 0.0;  // the compensatory pause still owed
  for (std::size_t i = 0; i < n; ++i) {
    const double sinusRR = rr(i) * (1.0 + 0.03 * jitter(random));
    const double ratio = ectopic(i);
    if (ratio > 0 && pause == 0.0) {
      b.points.push_back({sinusRR * ratio, ectopicFF * (1.0 + 0.02 * jitter(random))});
      b.kinds.push_back(Kind::Premature);
      pause = sinusRR * (2.0 - ratio);
    } else {
      // The beat after a premature beat ends the pause: it is a sinus beat with a long interval.
      b.points.push_back({pause > 0 ? pause : sinusRR, ff * (1.0 + 0.02 * jitter(random))});
      b.kinds.push_back(pause == 0.0 ? Kind::Sinus : Kind::AfterPause);
      pause = 0.0;
    }
  }
  return b;
}

bool inside(const ClassifierBox& box, const PlotPoint& p) {
  return p.x >= box.minRR && p.x <= box.maxRR && p.y >= box.minFF && p.y <= box.maxFF;
}

TEST(FitClassifierBox, KeepsTheSinusClusterAndLeavesPrematureAndWideBeatsOutside) {
  auto constant = [](double v) { return [v](std::size_t) { return v; }; };
  auto every = [](std::size_t k, double ratio) { return [k, ratio](std::size_t i) { return i % k == k - 1 ? ratio : 0.0; }; };
  struct Case {
    std::string name;
    Beats beats;
    bool ectopicOutside;  // a box that spans a drifting rate cannot leave late premature beats out
  };
  const Case cases[] = {
      {"human, a premature ventricular beat in 12", recording(2000, constant(0.85), 1.2, every(12, 0.65), 1.6), true},
      {"mouse-scale intervals, atrial premature beats with a normal waveform",
       recording(9000, constant(0.12), 0.75, every(15, 0.7), 0.75), true},
      {"wide beats at a normal coupling ratio", recording(2000, constant(0.9), 1.2, every(9, 0.93), 1.8), true},
      {"bigeminy for a third of the recording",
       recording(3000, constant(1.0), 1.2, [](std::size_t i) { return i < 1000 && i % 2 ? 0.55 : 0.0; }, 1.25), true},
      {"rate drifting from 0.6 s to 1.1 s, rare premature beats",
       recording(20000, [](std::size_t i) { return 0.6 + 0.5 * i / 20000.0; }, 1.0, every(50, 0.6), 1.3), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto box = HRV::FitClassifierBox(c.beats.points);
    ASSERT_TRUE(box.has_value());
    std::size_t sinus = 0, sinusInside = 0, ectopic = 0, ectopicInside = 0;
    for (std::size_t i = 0; i < c.beats.points.size(); ++i) {
      const bool in = inside(*box, c.beats.points[i]);
      if (c.beats.kinds[i] == Kind::AfterPause) continue;  // a sinus beat, its interval lengthened by the pause
      (c.beats.kinds[i] == Kind::Sinus ? sinus : ectopic) += 1;
      (c.beats.kinds[i] == Kind::Sinus ? sinusInside : ectopicInside) += in;
    }
    EXPECT_GE(sinusInside, 0.995 * sinus) << "box RR " << box->minRR << "-" << box->maxRR << " FF " << box->minFF << "-"
                                         << box->maxFF;
    EXPECT_GT(ectopic, 0u);
    if (c.ectopicOutside) {
      EXPECT_EQ(ectopicInside, 0u) << "box RR " << box->minRR << "-" << box->maxRR << " FF " << box->minFF << "-" << box->maxFF;
    }
  }
}

TEST(FitClassifierBox, ARegularRunOfEctopicBeatsApartFromTheMainClusterStaysOutside) {
  // 150 beats of a regular tachycardia at half the sinus interval with a different
  // waveform: regular beats, but a small group apart from the main cluster.
  Beats b = recording(3000, [](std::size_t) { return 0.8; }, 1.2, [](std::size_t) { return 0.0; }, 0.0);
  for (std::size_t i = 1500; i < 1650; ++i) b.points[i] = {0.42 + 0.001 * (i % 3), 1.7};
  const auto box = HRV::FitClassifierBox(b.points);
  ASSERT_TRUE(box.has_value());
  EXPECT_GT(box->minRR, 0.45);
  EXPECT_LT(box->maxFF, 1.7);
}

TEST(FitClassifierBox, BeatsWithoutAWaveformAreFittedOnTheirIntervalsAlone) {
  Beats b = recording(2000, [](std::size_t) { return 0.8; }, 1.2, [](std::size_t i) { return i % 10 == 9 ? 0.6 : 0.0; }, 1.2);
  for (auto& p : b.points) p.y = std::nan("");
  const auto box = HRV::FitClassifierBox(b.points);
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->minFF, 0.0);
  EXPECT_EQ(box->maxFF, 10.0);
  for (std::size_t i = 0; i < b.points.size(); ++i) {
    if (b.kinds[i] == Kind::Premature) {
      EXPECT_LT(b.points[i].x, box->minRR);
    }
  }
}

TEST(FitClassifierBox, NoBoxWithoutEnoughRegularBeats) {
  // Alternating intervals (sustained bigeminy) and undefined values have no regular beat.
  std::vector<PlotPoint> alternating, undefined(100, {std::nan(""), 1.0});
  for (int i = 0; i < 100; ++i) alternating.push_back({i % 2 ? 0.5 : 1.1, 1.2});
  EXPECT_FALSE(HRV::FitClassifierBox(alternating).has_value());
  EXPECT_FALSE(HRV::FitClassifierBox(undefined).has_value());
  EXPECT_FALSE(HRV::FitClassifierBox({}).has_value());
}

}  // namespace
