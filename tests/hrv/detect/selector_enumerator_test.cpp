// SPDX-License-Identifier: MIT
#include "hrv/detect/selector_enumerator.h"

#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using HRV::FiducialEvent;
using HRV::SelectorEvent;

struct Beats final : HRV::BeatSource {
  std::vector<FiducialEvent> beats;
  std::size_t cursor = 0;
  std::size_t visible = 1u << 30;
  void seek(std::int32_t tick) override {
    cursor = 0;
    while (cursor < beats.size() && beats[cursor].tick < tick) ++cursor;
  }
  std::optional<FiducialEvent> current() override {
    if (cursor < std::min(visible, beats.size())) return beats[cursor];
    return std::nullopt;
  }
  void advance() override { ++cursor; }
  bool at_end() const override { return visible >= beats.size() && cursor >= beats.size(); }
};

FiducialEvent beat(std::int32_t tick, float fraction, double rr, double deltaRR) {
  FiducialEvent b;
  b.tick = tick, b.fraction = fraction, b.rr = rr, b.deltaRR = deltaRR, b.rate = 1.0 / rr;
  b.complexityA = 4.0, b.complexityB = 5.0, b.ff = 1.25;
  return b;
}

std::vector<SelectorEvent> run(HRV::SelectorParams params, Beats& source) {
  HRV::SelectorSearch search(params, source);
  EEH3::RecordCache<HRV::SelectorState> cache;
  EEH3::EventCursor<HRV::SelectorSearch, HRV::SelectorState, SelectorEvent> cursor(search, cache);
  cursor.StartRecord(0);
  std::vector<SelectorEvent> out(16);
  EEH3::Step status;
  out.resize(cursor.Read(out.data(), 16, status));
  return out;
}

TEST(Selector, OutputsTheChosenBeatValueAtTheBeatsExactPosition) {
  Beats source;
  source.beats = {beat(200, 0.0f, std::nan(""), std::nan("")), beat(1000, 0.6f, 0.8, -0.05), beat(1800, 0.25f, 0.8, 0.0)};
  HRV::SelectorParams params;
  params.type = 2;  // beat rate in beats per minute
  auto points = run(params, source);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_TRUE(std::isnan(points[0].value));  // the first beat of a run has no interval
  EXPECT_EQ(points[1].tick, 1001);
  EXPECT_NEAR(points[1].fraction, -0.4f, 1e-6);
  EXPECT_DOUBLE_EQ(points[1].value, 75.0);
  EXPECT_EQ(points[2].tick, 1800);
  EXPECT_NEAR(points[2].fraction, 0.25f, 1e-6);

  const double expected[] = {0.8, -0.05, 75.0, 4.0, 5.0, 1.25};
  for (int type = 0; type <= 5; ++type) {
    source.cursor = 0;
    params.type = type;
    EXPECT_DOUBLE_EQ(run(params, source)[1].value, expected[type]) << "type " << type;
  }
  EXPECT_TRUE(std::isnan(HRV::selected_value(source.beats[1], 9)));
}

TEST(Selector, WaitsForBeatsThatAreNotFinalYet) {
  Beats source;
  source.beats = {beat(100, 0, 1, 0), beat(300, 0, 1, 0), beat(500, 0, 1, 0)};
  source.visible = 1;
  HRV::SelectorParams params;
  HRV::SelectorSearch search(params, source);
  HRV::SelectorState state = search.Start(0);
  SelectorEvent point;
  EXPECT_EQ(search.Next(state, point), HRV::SelectorSearch::Step::Beat);
  EXPECT_EQ(search.Next(state, point), HRV::SelectorSearch::Step::NotYet);
  source.visible = 3;
  EXPECT_EQ(search.Next(state, point), HRV::SelectorSearch::Step::Beat);
  EXPECT_EQ(point.tick, 300);
  // A copied state, restored, continues with the same beat.
  HRV::SelectorState copy = state;
  EXPECT_EQ(search.Next(state, point), HRV::SelectorSearch::Step::Beat);
  search.Restore(copy);
  SelectorEvent again;
  EXPECT_EQ(search.Next(copy, again), HRV::SelectorSearch::Step::Beat);
  EXPECT_EQ(again.tick, point.tick);
  EXPECT_EQ(search.Next(state, point), HRV::SelectorSearch::Step::End);
}

TEST(Selector, ParametersRoundTripThroughText) {
  HRV::SelectorParams params;
  std::istringstream text("5 1");
  ASSERT_TRUE(params.Read(text));
  EXPECT_EQ(params.type, 5);
  EXPECT_TRUE(params.interpolate);
  std::ostringstream out;
  params.Write(out);
  EXPECT_EQ(out.str(), "5 1");
  std::istringstream bad("2");
  EXPECT_FALSE(params.Read(bad));
}

}  // namespace
