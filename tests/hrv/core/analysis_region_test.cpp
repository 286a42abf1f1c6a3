// SPDX-License-Identifier: MIT
#include "hrv/core/analysis_region.h"

#include <gtest/gtest.h>

#include "tests/hrv/core/tick_position_printer.h"

namespace {

using HRV::AnalysisRegion;

TEST(AnalysisRegion, UnsetWhileEitherRecordIsUnset) {
  EXPECT_FALSE(AnalysisRegion{}.is_set());
  EXPECT_FALSE((AnalysisRegion{{0, 0}, {100, TickPosition::kUnset}}.is_set()));
  EXPECT_FALSE((AnalysisRegion{{0, TickPosition::kUnset}, {100, 3}}.is_set()));
  EXPECT_TRUE((AnalysisRegion{{TickPosition::kUnset, 0}, {TickPosition::kUnset, 3}}.is_set()));  // ticks do not count
}

TEST(AnalysisRegion, WholeChannelAndOnlineShapes) {
  const AnalysisRegion whole = AnalysisRegion::whole_channel({500, 7});
  EXPECT_EQ(whole.start, (TickPosition{0, 0}));
  EXPECT_EQ(whole.end, (TickPosition{500, 7}));
  EXPECT_FALSE(whole.is_open_ended());

  const AnalysisRegion online = AnalysisRegion::online({20, 8});
  EXPECT_EQ(online.end.tick, 0x7FFFFFFF);
  EXPECT_EQ(online.end.record, 0x7FFFFFFE);
  EXPECT_TRUE(online.is_open_ended());
  EXPECT_TRUE(online.is_set());
}

TEST(AnalysisRegion, ClearUnsetsTheRecordsAndKeepsTheTicksInTheSettings) {
  HRV::SettingsFields settings;
  AnalysisRegion{{12, 1}, {3400, 2}}.store_in(settings);
  EXPECT_EQ(settings.StartTick, 12);
  EXPECT_EQ(settings.StartRecord, 1);
  EXPECT_EQ(settings.EndTick, 3400);
  EXPECT_EQ(settings.EndRecord, 2);

  AnalysisRegion region = AnalysisRegion::from(settings);
  region.clear();
  region.store_in(settings);
  EXPECT_EQ(settings.StartTick, 12);
  EXPECT_EQ(settings.StartRecord, 0x7FFFFFFF);
  EXPECT_EQ(settings.EndTick, 3400);
  EXPECT_EQ(settings.EndRecord, 0x7FFFFFFF);
  EXPECT_FALSE(settings.region_set());
}

}  // namespace
