// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_header.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace korvel::io {
namespace {

WfdbHeader parse(const std::string& text) { return parse_wfdb_header(text, "rec.hea"); }

TEST(WfdbHeader, ReadsTheRecordLineOrTakesItsDefaults) {
  const WfdbHeader h = parse("rec 0 250/1000(5) 5000 10:20:30.5 01/02/2003\n");
  EXPECT_EQ(std::tie(h.record_name, h.frequency_hz, h.counter_frequency_hz, h.base_counter, h.frame_count, h.base_time, h.base_date),
            std::tuple("rec", 250.0, 1000.0, 5.0, 5000, "10:20:30.5", "01/02/2003"));
  const WfdbHeader d = parse("rec");
  EXPECT_TRUE(d.signals.empty());
  EXPECT_EQ(std::tie(d.frequency_hz, d.counter_frequency_hz, d.frame_count, d.base_time), std::tuple(250.0, 250.0, 0, ""));
}

// The suffixes of the format field ("16x4:2+512") are read by the decoding tests.
TEST(WfdbHeader, SignalFieldsLeftOutTakeTheirDefaults) {
  const WfdbHeader h = parse("rec 3 500 10\na.dat 212\nb.dat 80 0 8 128\nc.dat 16 61180.7927(-4442)/ 0 0 -768\n");
  ASSERT_EQ(h.signals.size(), 3u);
  // Format only: uncalibrated gain 200, baseline = ADC zero = 0, mV, no checksum.
  const WfdbSignalSpec& a = h.signals[0];
  EXPECT_EQ(std::tie(a.gain, a.calibrated, a.baseline, a.units, a.checksum, a.description),
            std::tuple(200.0, false, 0, "mV", std::optional<int>(), "signal 1"));
  // Gain 0 means 200; without a baseline the ADC zero is the baseline and the initial value.
  const WfdbSignalSpec& b = h.signals[1];
  EXPECT_EQ(std::tie(b.gain, b.calibrated, b.baseline, b.initial_value), std::tuple(200.0, false, 128, 128));
  // A '/' with nothing after it is an empty unit, not the default.
  const WfdbSignalSpec& c = h.signals[2];
  EXPECT_EQ(std::tie(c.baseline, c.units, c.initial_value), std::tuple(-4442, "", -768));
}

TEST(WfdbHeader, BadLinesAreNamedByNumber) {
  const std::pair<const char*, const char*> cases[] = {
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
  for (const auto& [text, expected] : cases) {
    try {
      parse(text);
      ADD_FAILURE() << text << " parsed";
    } catch (const ImportError& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace korvel::io
