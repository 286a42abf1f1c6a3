// SPDX-License-Identifier: MIT
// Beats found while the host records a signal live must be the very beats found in the
// finished recording: same ticks, numbers, intervals, complexity and flags.
#include <cstring>

#include <gtest/gtest.h>

#include "detection_harness.h"
#include "korvel/io/load_recording.h"
#include "shared_data.h"

namespace {

TEST(OnlineDetection, GrowingRecordGivesTheBeatsOfTheFinishedOne) {
  HRV_REQUIRE_SHARED(header, "mitdb/106.hea");  // ectopic beats exercise the classifier state
  const double seconds = 300;
  const auto live = integration::detect_beats_while_sampling(header, 0, 0, seconds, 17, 2000);
  // The finished recording: the same first five minutes, evaluated in one pass.
  const auto finished = integration::detect_beats_while_sampling(header, 0, 0, seconds, 0, 1 << 30);
  ASSERT_GT(finished.events.size(), 300u);
  ASSERT_EQ(live.events.size(), finished.events.size());
  for (std::size_t i = 0; i < live.events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(live.events[i].tick, finished.events[i].tick);
    EXPECT_EQ(live.events[i].flags, finished.events[i].flags);
    EXPECT_EQ(std::memcmp(&live.events[i], &finished.events[i], sizeof(HRV::FiducialEvent)), 0);
  }
}

}  // namespace
