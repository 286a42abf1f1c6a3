// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/beat_comparison.h"

#include <unistd.h>

#include <cmath>
#include <fstream>

#include <gtest/gtest.h>


namespace {

using korvel_hrv::compare_beats;

TEST(BeatComparison, MatchesOneToOneWithinTheWindow) {
  // Reference beats every second; one missed, one extra, one doubled, one late by 0.2 s.
  const std::vector<double> reference = {1, 2, 3, 4, 5, 6};
  const std::vector<double> detected = {1.01, 2.0, 2.05, 3.5, 4.2, 5.0, 6.02};
  const auto r = compare_beats(detected, reference, 0.15);
  EXPECT_EQ(r.truePositives, 4u);   // 1, 2, 5, 6
  EXPECT_EQ(r.falseNegatives, 2u);  // 3 (nothing near), 4 (0.2 s off)
  EXPECT_EQ(r.falsePositives, 3u);  // 2.05 (second on one beat), 3.5, 4.2
  EXPECT_NEAR(r.sensitivity(), 4.0 / 6, 1e-12);
  EXPECT_NEAR(r.positivePredictivity(), 4.0 / 7, 1e-12);
  EXPECT_NEAR(r.medianOffsetSec, 0.005, 1e-12);  // offsets 0, 0, 0.01, 0.02
}

TEST(BeatComparison, NearerPairWinsWhenTwoBeatsCompete) {
  // A detected beat between two reference beats goes to the nearer one; the other
  // reference still matches its own beat.
  const auto r = compare_beats({1.10, 1.19}, {1.0, 1.2}, 0.15);
  EXPECT_EQ(r.truePositives, 2u);
  EXPECT_EQ(r.falsePositives, 0u);
  const auto empty = compare_beats({}, {}, 0.15);
  EXPECT_TRUE(std::isnan(empty.sensitivity()));
}

TEST(BeatComparison, ReadsBeatsCsvByColumnName) {
  const auto path = std::filesystem::temp_directory_path() / ("beat_comparison_test_" + std::to_string(::getpid()) + ".csv");
  {
    std::ofstream out(path);
    out << "beat_number,record,tick,time_s,rr_s\n1,0,360,1.0,\n2,0,720,2.0,1\n";
  }
  EXPECT_EQ(korvel_hrv::read_beat_times(path), (std::vector<double>{1.0, 2.0}));
  {
    std::ofstream out(path);
    out << "beat_number,tick\n1,2\n";
  }
  try {
    korvel_hrv::read_beat_times(path);
    FAIL() << "a file without time_s must be refused";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("time_s"), std::string::npos) << e.what();
  }
  std::filesystem::remove(path);
}

}  // namespace
