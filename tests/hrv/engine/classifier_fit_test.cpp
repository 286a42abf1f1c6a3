// SPDX-License-Identifier: MIT
#include "hrv/engine/classifier_fit.h"

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace {

using HRV::PlotPoint;
using Rhythm = std::function<double(std::size_t)>;
enum Kind { Sinus, Premature, AfterPause };

// A synthetic recording, (RR s, FF) per beat and its kind: sinus beats at rr(i) s and FF
// `ff` with jitter of 3 % and 2 %; where ratio(i) > 0 a premature beat of that coupling
// ratio and FF `ectopicFF`, then the compensatory pause. Fixed seed.
std::pair<std::vector<PlotPoint>, std::vector<Kind>> recording(std::size_t n, Rhythm rr, double ff, Rhythm ratio, double ectopicFF) {
  std::mt19937 random(7);
  std::normal_distribution<double> jitter(0.0, 1.0);
  std::pair<std::vector<PlotPoint>, std::vector<Kind>> b;
  double pause = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double sinus = rr(i) * (1.0 + 0.03 * jitter(random));
    const bool premature = ratio(i) > 0 && pause == 0.0;
    b.first.push_back({premature ? sinus * ratio(i) : pause > 0 ? pause : sinus, (premature ? ectopicFF : ff) * (1.0 + 0.02 * jitter(random))});
    b.second.push_back(premature ? Premature : pause > 0 ? AfterPause : Sinus);
    pause = premature ? sinus * (2.0 - ratio(i)) : 0.0;
  }
  return b;
}

TEST(FitClassifierBox, KeepsTheSinusClusterAndLeavesPrematureAndWideBeatsOutside) {
  auto constant = [](double v) { return [v](std::size_t) { return v; }; };
  auto every = [](std::size_t k, double ratio) { return [k, ratio](std::size_t i) { return i % k == k - 1 ? ratio : 0.0; }; };
  struct Case {
    const char* name;
    std::pair<std::vector<PlotPoint>, std::vector<Kind>> beats;
    bool prematureOutside;  // a box that spans a drifting rate cannot leave late premature beats out
  };
  Case cases[] = {
      {"human, a premature ventricular beat in 12", recording(2000, constant(0.85), 1.2, every(12, 0.65), 1.6), true},
      {"mouse-scale intervals, atrial premature beats", recording(9000, constant(0.12), 0.75, every(15, 0.7), 0.75), true},
      {"wide beats at a normal coupling ratio", recording(2000, constant(0.9), 1.2, every(9, 0.93), 1.8), true},
      {"bigeminy for a third", recording(3000, constant(1.0), 1.2, [](std::size_t i) { return i < 1000 && i % 2 ? 0.55 : 0.0; }, 1.25), true},
      {"a regular run of wide beats at half the interval", recording(3000, constant(0.8), 1.2, constant(0), 0), true},
      {"rate drifting from 0.6 s to 1.1 s", recording(20000, [](std::size_t i) { return 0.6 + i / 40000.0; }, 1.0, every(50, 0.6), 1.3), false},
      {"beats without a waveform (FF undefined)", recording(2000, constant(0.8), 1.2, every(10, 0.6), 1.2), true},
  };
  for (std::size_t i = 1500; i < 1650; ++i) cases[4].beats.first[i] = {0.42 + 0.001 * (i % 3), 1.7}, cases[4].beats.second[i] = Premature;
  for (auto& p : cases[6].beats.first) p.y = std::nan("");
  for (const Case& c : cases) {
    const auto box = HRV::FitClassifierBox(c.beats.first);
    ASSERT_TRUE(box.has_value()) << c.name;
    std::size_t count[3] = {0, 0, 0}, inside[3] = {0, 0, 0};
    for (std::size_t i = 0; i < c.beats.first.size(); ++i) {
      const PlotPoint& p = c.beats.first[i];
      ++count[c.beats.second[i]];
      inside[c.beats.second[i]] += p.x >= box->minRR && p.x <= box->maxRR && (std::isnan(p.y) || (p.y >= box->minFF && p.y <= box->maxFF));
    }
    EXPECT_GE(inside[Sinus], 0.995 * count[Sinus]) << c.name << ": RR from " << box->minRR << ", FF to " << box->maxFF;
    EXPECT_TRUE(!c.prematureOutside || inside[Premature] == 0) << c.name << ": " << inside[Premature] << " premature inside";
  }
  EXPECT_EQ(HRV::FitClassifierBox(cases[6].beats.first)->maxFF, 10.0) << "without FF the box spans all of it";
}

TEST(FitClassifierBox, NoBoxWithoutEnoughRegularBeats) {
  // Alternating intervals (sustained bigeminy) and undefined intervals have no regular beat.
  std::vector<PlotPoint> alternating, undefined(100, {std::nan(""), 1.0});
  for (int i = 0; i < 100; ++i) alternating.push_back({i % 2 ? 0.5 : 1.1, 1.2});
  EXPECT_FALSE(HRV::FitClassifierBox(alternating) || HRV::FitClassifierBox(undefined));
}

}  // namespace
