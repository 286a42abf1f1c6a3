// SPDX-License-Identifier: MIT
#include "korvel/io/csv_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

namespace korvel::io {
namespace {

Record parse(const std::string& text, double rate = 0) { return parse_delimited_text(text, rate, "x.csv"); }

std::string parse_error(const std::string& text) {
  try {
    parse(text);
  } catch (const ImportError& e) {
    return e.what();
  }
  return "no error";
}

TEST(CsvImport, NamedTimeColumnGivesIntervalStartNamesAndUnits) {
  const Record r = parse("Time (s),ECG (mV),\"BP, radial [mmHg]\"\n10.000,0.5,80\n10.004,0.25,81\n10.008,-1,82\n");
  EXPECT_DOUBLE_EQ(r.start_time_s, 10.0);
  EXPECT_NEAR(r.tick_interval_s, 0.004, 1e-12);  // (10.008 - 10) / 2 in doubles
  ASSERT_EQ(r.channels.size(), 2u);
  EXPECT_EQ(std::tie(r.channels[0].name, r.channels[0].unit, r.channels[1].name, r.channels[1].unit),
            std::tuple("ECG", "mV", "BP, radial", "mmHg"));  // quotes protect the comma
  EXPECT_EQ(r.channels[0].samples, (std::vector<float>{0.5f, 0.25f, -1.0f}));
  EXPECT_EQ(r.channels[1].samples, (std::vector<float>{80, 81, 82}));
}

TEST(CsvImport, DelimiterIsDetectedAndDecimalCommasReadWithSemicolonsAndTabs) {
  for (const char* text : {"t;a;b\r\n0;1,5;2\r\n0,5;2,5;3\r\n", "t\ta\tb\n0\t1,5\t2\n0.5\t2.5\t3\n",
                           "# exported by hand\nt,a,b\n0,1.5,2\n\n0.5,2.5,3\n"}) {
    SCOPED_TRACE(text);
    const Record r = parse(text);
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_EQ(r.channels[0].samples, (std::vector<float>{1.5f, 2.5f}));
    EXPECT_EQ(r.channels[1].samples, (std::vector<float>{2, 3}));
    EXPECT_DOUBLE_EQ(r.tick_interval_s, 0.5);
  }
}

TEST(CsvImport, TimeComesFromMillisecondsTheCallersRateOrAnIncreasingFirstColumn) {
  const Record ms = parse("time_ms,ecg\n0,1\n2,2\n4,3\n");
  EXPECT_DOUBLE_EQ(ms.tick_interval_s, 0.002);
  ASSERT_EQ(ms.channels.size(), 1u);

  // No header and a rate: every column is a channel, even an increasing first one.
  const Record rated = parse("1,5\n2,6\n3,7\n", 250);
  EXPECT_DOUBLE_EQ(rated.tick_interval_s, 1.0 / 250);
  ASSERT_EQ(rated.channels.size(), 2u);
  EXPECT_EQ(rated.channels[0].name, "channel 1");
  EXPECT_EQ(rated.channels[0].samples, (std::vector<float>{1, 2, 3}));

  // No header, no rate: a strictly increasing first column is time.
  const Record inferred = parse("0.25,5\n0.5,6\n0.75,7\n");
  EXPECT_DOUBLE_EQ(inferred.tick_interval_s, 0.25);
  EXPECT_DOUBLE_EQ(inferred.start_time_s, 0.25);
  ASSERT_EQ(inferred.channels.size(), 1u);
  EXPECT_EQ(inferred.channels[0].name, "channel 2");
}

TEST(CsvImport, TimesRoundedToTheirLastDecimalAreRegular) {
  // 360 Hz written with 4 decimals: steps alternate between 0.0027 and 0.0028.
  std::string text = "time,v\n";
  for (int i = 0; i < 1000; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%.4f,%d\n", i / 360.0, i);
    text += line;
  }
  const Record r = parse(text);
  // The mean step over 999 steps is within a rounding unit / 999 of the true interval.
  EXPECT_NEAR(r.tick_interval_s, 1.0 / 360, 1e-4 / 999);
  EXPECT_EQ(r.length(), 1000u);
}

TEST(CsvImport, MissingValuesAreNaN) {
  const Record r = parse("t,a,b\n0,,NaN\n1,NA,2\n");
  for (float v : {r.channels[0].samples[0], r.channels[0].samples[1], r.channels[1].samples[0]}) EXPECT_TRUE(std::isnan(v)) << v;
  EXPECT_EQ(r.channels[1].samples[1], 2.0f);
}

TEST(CsvImport, BadRowsAreRefusedWithTheLineNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"t,a\n0.00,1\n0.10,2\n0.20,3\n0.40,4\n0.50,5\n",
       "x.csv: line 5: time step 0.2 from 0.2 differs from the usual 0.1; irregular or interrupted sampling is not "
       "supported"},
      {"t,a\n0,1\n0.1,2\n0.1,3\n", "x.csv: line 4: time 0.1 does not follow 0.1"},
      {"t,a\n0,1\n1,2\n2,3\n4,3\n",
       "x.csv: line 5: time step 2 from 2 differs from the usual 1; irregular or interrupted sampling is not "
       "supported"},
      {"t,a\n0,1\n0.1\n", "x.csv: line 3: 1 fields where the first line has 2"},
      {"t,a\n0,1\n0.1,one\n", "x.csv: line 3: column 2 (a): \"one\" is not a number"},
      {"time (min),a\n0,1\n", "x.csv: line 1: time unit \"min\" is not understood; use s or ms"},
      {"a,b\n3,1\n2,2\n", "x.csv: no time column (name the first column \"time\") and no sampling rate given"},
      {"t,a\n", "x.csv: no data rows"},
      {"\n# nothing\n", "x.csv: no data: the file is empty"},
      {"time\n0\n1\n", "x.csv: only a time column; no channels"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_error(text), expected) << text;
}

}  // namespace
}  // namespace korvel::io
