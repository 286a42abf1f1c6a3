// SPDX-License-Identifier: MIT
#include "korvel/io/beat_import.h"

#include <gtest/gtest.h>

#include "korvel/io/load_recording.h"
#include "temp_dir.h"

namespace korvel::io {
namespace {

TEST(BeatImport, RecognisesRRListsByTheirContent) {
  const test::TempDir dir;
  struct Case {
    const char* text;
    double rateHz;
    InputKind expected;
  };
  const Case cases[] = {
      {"0.811111\r\n0.844444\r\n0.808333\r\n", 0, InputKind::RRList},   // the tool's own rr.txt
      {"RR (ms)\n812\n\n845\n808\n", 0, InputKind::RRList},              // a header, milliseconds, a blank line
      {"0.81\n0.84\n", 250, InputKind::Signal},                          // a rate: samples without a time column
      {"0.12\n-0.3\n0.5\n", 0, InputKind::Signal},                       // signed values are a signal
      {"time,ECG\n0,0.1\n0.004,0.2\n", 0, InputKind::Signal},            // columns
      {"0.8\n900\n", 0, InputKind::Signal},                              // seconds and milliseconds mixed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(recognise_input(dir.write("list.txt", c.text), c.rateHz), c.expected);
  }
}

TEST(BeatImport, AnRRListBecomesBeatsOnTheFinestClockThatHoldsIt) {
  const test::TempDir dir;
  for (const char* text : {"0.8\n0.75\n", "800\n750\n"}) {
    const Recording r = load_recording(dir.write("rr.txt", text));
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].tick_interval_s, 1e-6);
    ASSERT_EQ(r.records[0].events.size(), 1u);
    EXPECT_EQ(r.records[0].events[0].ticks, (std::vector<std::int32_t>{0, 800000, 1550000})) << text;
    EXPECT_EQ(r.records[0].length(), 1550001u);
  }
  // Two days of 1 s intervals do not fit 2^31 microseconds: a 10 kHz clock holds them.
  std::string day;
  for (int i = 0; i < 2 * 86400; ++i) day += "1\n";
  EXPECT_EQ(load_recording(dir.write("day.txt", day)).records[0].tick_interval_s, 1e-4);
  LoadOptions forced;
  forced.input = InputKind::RRList;
  EXPECT_THROW(load_recording(dir.write("bad.txt", "0.8\nabc\n"), forced), ImportError);
}

}  // namespace
}  // namespace korvel::io
