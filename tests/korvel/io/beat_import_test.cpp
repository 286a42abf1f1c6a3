// SPDX-License-Identifier: MIT
#include "korvel/io/beat_import.h"

#include <gtest/gtest.h>

#include "korvel/io/load_recording.h"
#include "temp_dir.h"

namespace korvel::io {
namespace {

TEST(BeatImport, RecognisesRRListsAndPlacesThemOnAMicrosecondClock) {
  const test::TempDir dir;
  const std::pair<const char*, InputKind> lists[] = {
      {"0.8\r\n0.75\r\n", InputKind::RRList},      // seconds, as the tool's rr.txt
      {"RR (ms)\n800\n\n750\n", InputKind::RRList},  // a header, milliseconds, a blank line
      {"0.12\n-0.3\n0.5\n", InputKind::Signal},      // signed values
      {"time,ECG\n0,0.1\n", InputKind::Signal},      // columns
      {"0.8\n900\n", InputKind::Signal},             // seconds and milliseconds mixed
  };
  for (const auto& [text, kind] : lists) {
    EXPECT_EQ(recognise_input(dir.write("list.txt", text), 0), kind) << text;
    if (kind == InputKind::RRList) {
      EXPECT_EQ(load_recording(dir.file("list.txt")).records.at(0).events.at(0).ticks, (std::vector<std::int32_t>{0, 800000, 1550000}));
    }
  }
  EXPECT_EQ(recognise_input(dir.file("list.txt"), 250), InputKind::Signal) << "a rate: samples without a time column";
}

}  // namespace
}  // namespace korvel::io
