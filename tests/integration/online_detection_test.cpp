// SPDX-License-Identifier: MIT
// Beats found while the host records a signal live must be the very beats found in the
// finished recording: same ticks, numbers, intervals, complexity and flags.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "detection_harness.h"
#include "korvel/io/load_recording.h"
#include "shared_data.h"

namespace {

TEST(OnlineDetection, GrowingRecordGivesTheBeatsOfTheFinishedOne) {
  struct Case {
    const char* record;
    int signal, preset;
    double seconds;
    unsigned seed;
  };
  // 106's ectopic beats exercise the classifier state and the peak detector's recent beats.
  for (const auto& c : {Case{"mitdb/106", 0, 0, 300, 17}, Case{"mitdb/105", 0, 0, 120, 18},
                        Case{"animal/Mouse_24", 0, 4, 60, 19}, Case{"animal/Rabbit_example", 0, 6, 120, 20},
                        Case{"bp/mimicdb230_pcst", 2, 0, 300, 21}, Case{"long/3975656_0006", 0, 0, 300, 22}}) {
    SCOPED_TRACE(c.record);
    HRV_REQUIRE_SHARED(header, std::string(c.record) + ".hea");
    const auto live = integration::detect_beats_while_sampling(header, c.signal, c.preset, c.seconds, c.seed, 2000);
    // The finished recording: the same first minutes, evaluated in one pass.
    const auto finished = integration::detect_beats_while_sampling(header, c.signal, c.preset, c.seconds, 0, 1 << 30);
    ASSERT_GT(finished.events.size(), 100u);
    ASSERT_EQ(live.events.size(), finished.events.size());
    for (std::size_t i = 0; i < live.events.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(live.events[i].tick, finished.events[i].tick);
      EXPECT_EQ(live.events[i].flags, finished.events[i].flags);
      EXPECT_EQ(std::memcmp(&live.events[i], &finished.events[i], sizeof(HRV::FiducialEvent)), 0);
    }
  }
}

}  // namespace
