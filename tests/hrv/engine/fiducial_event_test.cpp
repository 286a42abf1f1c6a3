// SPDX-License-Identifier: MIT
#include "hrv/engine/fiducial_event.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using HRV::BeatDisplayClass;
using HRV::FiducialEvent;

FiducialEvent beat(std::uint32_t flags, double rr = 1.0, double deltaRR = 0.0, std::int32_t tick = 100) {
  FiducialEvent e;
  e.tick = tick, e.rr = rr, e.deltaRR = deltaRR, e.flags = flags;
  return e;
}

TEST(BeatDisplayClass, FollowsTheOrderUnknownEctopicNormalUnused) {
  const std::uint32_t both = HRV::UseRR | HRV::UseDeltaRR;
  struct Case {
    const char* what;
    FiducialEvent event;
    BeatDisplayClass want;
  };
  const Case cases[] = {
      {"class byte 0xFF", beat(HRV::ClassUnknown), BeatDisplayClass::Unknown},
      {"empty slot", beat(both, 1.0, 0.0, FiducialEvent::kEmptyTick), BeatDisplayClass::Unknown},
      {"rr NaN (first beat after a break)", beat(both, HRV::kUndefined), BeatDisplayClass::Unknown},
      {"deltaRR NaN with rr valid", beat(HRV::UseRR, 1.0, HRV::kUndefined), BeatDisplayClass::Unknown},
      {"ectopic by RR, excluded", beat(HRV::ClassOutsideRR), BeatDisplayClass::Ectopic},
      {"ectopic by FF, counted", beat(HRV::ClassOutsideFF | both), BeatDisplayClass::Ectopic},
      {"ectopic by both", beat(HRV::ClassOutsideRR | HRV::ClassOutsideFF | HRV::UserAdded), BeatDisplayClass::Ectopic},
      {"normal and counted", beat(both), BeatDisplayClass::Normal},
      {"user-added normal", beat(both | HRV::UserAdded), BeatDisplayClass::Normal},
      {"normal after an excluded beat", beat(HRV::UseRR), BeatDisplayClass::Unused},
      {"normal without any use bit", beat(0), BeatDisplayClass::Unused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(std::string(HRV::to_string(HRV::display_class(c.event))), std::string(HRV::to_string(c.want)));
  }
  EXPECT_FALSE(beat(HRV::UseRR).included());  // the statistics need both use bits
  EXPECT_TRUE(beat(both).included());
}

}  // namespace
