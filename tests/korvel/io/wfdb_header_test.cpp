// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_header.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel::io {
namespace {

WfdbHeader parse(const std::string& text) { return parse_wfdb_header(text, "rec.hea"); }

std::string parse_error(const std::string& text) {
  try {
    parse(text);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(WfdbHeader, ReadsRecordLineWithCounterFrequencyBaseTimeAndDate) {
  const WfdbHeader h = parse("rec 0 250/1000(5) 5000 10:20:30.5 01/02/2003\n");
  EXPECT_EQ(h.record_name, "rec");
  EXPECT_EQ(h.frequency_hz, 250.0);
  EXPECT_EQ(h.counter_frequency_hz, 1000.0);
  EXPECT_EQ(h.base_counter, 5.0);
  EXPECT_EQ(h.frame_count, 5000);
  EXPECT_EQ(h.base_time, "10:20:30.5");
  EXPECT_EQ(h.base_date, "01/02/2003");
}

TEST(WfdbHeader, RecordLineLeftShortTakesDefaults) {
  const WfdbHeader h = parse("rec");
  EXPECT_TRUE(h.signals.empty());
  EXPECT_EQ(h.frequency_hz, 250.0);
  EXPECT_EQ(h.counter_frequency_hz, 250.0);
  EXPECT_EQ(h.frame_count, 0);
  EXPECT_EQ(h.base_time, "");
}

TEST(WfdbHeader, ReadsEverySignalFieldAndSuffix) {
  const WfdbHeader h = parse("rec 1 500 10\nd.dat 16x4:2+512 100.5(-5)/uV 16 3 7 -1234 0 lead I, chest\n");
  ASSERT_EQ(h.signals.size(), 1u);
  const WfdbSignalSpec& s = h.signals[0];
  EXPECT_EQ(s.file_name, "d.dat");
  EXPECT_EQ(s.format, 16);
  EXPECT_EQ(s.samples_per_frame, 4);
  EXPECT_EQ(s.skew, 2);
  EXPECT_EQ(s.byte_offset, 512u);
  EXPECT_EQ(s.gain, 100.5);
  EXPECT_TRUE(s.calibrated);
  EXPECT_EQ(s.baseline, -5);
  EXPECT_EQ(s.units, "uV");
  EXPECT_EQ(s.adc_resolution, 16);
  EXPECT_EQ(s.adc_zero, 3);
  EXPECT_EQ(s.initial_value, 7);
  EXPECT_EQ(s.checksum, -1234);
  EXPECT_EQ(s.block_size, 0);
  EXPECT_EQ(s.description, "lead I, chest");
}

TEST(WfdbHeader, MissingSignalFieldsTakeDefaults) {
  const WfdbHeader h = parse("rec 3\na.dat 212\nb.dat 80 0 8 128\nc.dat 16 61180.7927(-4442)/ 0 0 -768\n");
  ASSERT_EQ(h.signals.size(), 3u);
  // Format only: uncalibrated gain 200, baseline = ADC zero = 0, mV, no checksum.
  EXPECT_EQ(h.signals[0].gain, 200.0);
  EXPECT_FALSE(h.signals[0].calibrated);
  EXPECT_EQ(h.signals[0].baseline, 0);
  EXPECT_EQ(h.signals[0].units, "mV");
  EXPECT_FALSE(h.signals[0].checksum.has_value());
  EXPECT_EQ(h.signals[0].description, "signal 1");
  // Gain 0 means 200; without a baseline the ADC zero is the baseline and the initial value.
  EXPECT_EQ(h.signals[1].gain, 200.0);
  EXPECT_FALSE(h.signals[1].calibrated);
  EXPECT_EQ(h.signals[1].baseline, 128);
  EXPECT_EQ(h.signals[1].initial_value, 128);
  // A '/' with nothing after it is an empty unit, not the default.
  EXPECT_EQ(h.signals[2].baseline, -4442);
  EXPECT_EQ(h.signals[2].units, "");
  EXPECT_EQ(h.signals[2].initial_value, -768);
}

TEST(WfdbHeader, CommentsBlankLinesAndCarriageReturnsAreSkipped) {
  const WfdbHeader h = parse(
      "# made by hand\r\n100 2 360 650000\r\n100.dat 212 200 11 1024 995 -22131 0 MLII\r\n\r\n"
      "  100.dat 212 200 11 1024 1011 20052 0 V5\r\n# 69 M\r\n");
  ASSERT_EQ(h.signals.size(), 2u);
  EXPECT_EQ(h.signals[1].description, "V5");
  EXPECT_EQ(h.signals[1].checksum, 20052);
  EXPECT_EQ(h.comments, (std::vector<std::string>{"made by hand", "69 M"}));
}

TEST(WfdbHeader, BadLinesAreNamedByNumber) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"rec 1\n\nd.dat 16y\n", "rec.hea: line 3: bad format \"16y\""},
      {"rec 1\nd.dat 16 abc\n", "line 2: bad gain \"abc\""},
      {"rec 1\nd.dat 16x0\n", "line 2: samples per frame must be"},
      {"rec 1\nd.dat 16 200(5\n", "line 2: bad baseline"},
      {"rec -1\n", "line 1: negative number of signals"},
      {"rec 1 0\n", "line 1: sampling frequency must be positive"},
      {"rec 1 1e300\n", "line 1: sampling frequency must be positive and at most 1 THz"},
      {"rec 1 360 10 noon\n", "line 1: bad base time \"noon\""},
      {"rec/2 1 360\n", "line 1: multi-segment record"},
      {"rec 1\nd.dat 16\nd.dat 16\n", "line 3: unexpected line; the record line declares 1 signals"},
      {"rec 2\nd.dat 16\n", "rec.hea: the record line declares 2 signals but 1 signal lines follow"},
      {"# only a comment\n", "rec.hea: no record line"},
      {"rec 1\nd.dat\n", "line 2: signal line without a format"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_NE(parse_error(c.text).find(c.expected), std::string::npos) << parse_error(c.text);
  }
}

}  // namespace
}  // namespace korvel::io
