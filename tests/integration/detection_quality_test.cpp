// SPDX-License-Identifier: MIT
// Detection accuracy on the shared real recordings, each with its species' preset, against
// the expert reference beats: sensitivity and positive predictivity of one-to-one matching
// (150 ms window; 50 ms for the fast mouse and rabbit hearts). The thresholds are the levels
// an established open detector tuned per species reaches on these records.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "apps/korvel-hrv/beat_comparison.h"
#include "detection_harness.h"
#include "shared_data.h"

namespace {

struct Case {
  const char* record;     // path under the shared data folder, without extension
  const char* reference;  // annotation extension
  int preset;
  double window;
  double sensitivity;
  double predictivity;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.record; }

class DetectionQuality : public ::testing::TestWithParam<Case> {};

TEST_P(DetectionQuality, MeetsTheAccuracyOfATunedEstablishedDetector) {
  const Case& c = GetParam();
  HRV_REQUIRE_SHARED(header, std::string(c.record) + ".hea");
  HRV_REQUIRE_SHARED(annotations, std::string(c.record) + "." + c.reference);
  const auto detected = integration::detect_beats(header, 0, c.preset);
  const auto result = korvel_hrv::compare_beats(detected.times, korvel_hrv::read_beat_times(annotations), c.window);
  std::printf("%s: TP %zu FN %zu FP %zu sensitivity %.2f %% positive predictivity %.2f %% median offset %.1f ms\n",
              c.record, result.truePositives, result.falseNegatives, result.falsePositives, 100 * result.sensitivity(),
              100 * result.positivePredictivity(), 1000 * result.medianOffsetSec);
  EXPECT_GE(result.sensitivity(), c.sensitivity);
  EXPECT_GE(result.positivePredictivity(), c.predictivity);
}

// Preset indexes: 0 Human, 1 Large Dog, 4 Mouse, 6 Rabbit.
INSTANTIATE_TEST_SUITE_P(
    SharedRecords, DetectionQuality,
    ::testing::Values(Case{"mitdb/100", "atr", 0, 0.15, 0.999, 0.999}, Case{"mitdb/103", "atr", 0, 0.15, 0.999, 0.999},
                      Case{"mitdb/105", "atr", 0, 0.15, 0.993, 0.990}, Case{"mitdb/106", "atr", 0, 0.15, 0.995, 0.995},
                      Case{"animal/Dog_example", "qrs", 1, 0.15, 0.995, 0.995},
                      Case{"animal/Mouse_24", "qrs", 4, 0.05, 0.995, 0.995},
                      Case{"animal/Rabbit_example", "qrs", 6, 0.05, 0.995, 0.995}),
    [](const ::testing::TestParamInfo<Case>& param) {
      std::string name = param.param.record;
      for (auto& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

}  // namespace

namespace {

TEST(DetectionOnPressure, ArterialPulseGivesOneBeatPerHeartbeat) {
  HRV_REQUIRE_SHARED(header, "bp/mimicdb230_pcst.hea");
  const auto ecg = integration::detect_beats(header, 0, 0);
  const auto abp = integration::detect_beats(header, 2, 0);
  ASSERT_GT(ecg.times.size(), 100u);
  const double countRatio = static_cast<double>(abp.times.size()) / ecg.times.size();
  std::printf("ECG %zu beats, ABP %zu beats\n", ecg.times.size(), abp.times.size());
  EXPECT_NEAR(countRatio, 1.0, 0.005);

  // Pair every pressure pulse with the heartbeat before it (the pulse follows the R wave by
  // the transit time) and compare the intervals of consecutive pairs.
  const double transit = 0.4;  // s: longer than any pulse transit time
  std::vector<double> pulseRR, ecgRR;
  std::size_t e = 0;
  for (std::size_t i = 1; i < abp.times.size(); ++i) {
    while (e + 1 < ecg.times.size() && ecg.times[e + 1] < abp.times[i]) ++e;
    if (ecg.times[e] > abp.times[i] || abp.times[i] - ecg.times[e] > transit || e == 0) continue;
    if (abp.times[i - 1] < ecg.times[e - 1] || abp.times[i - 1] - ecg.times[e - 1] > transit) continue;
    pulseRR.push_back(abp.times[i] - abp.times[i - 1]);
    ecgRR.push_back(ecg.times[e] - ecg.times[e - 1]);
  }
  ASSERT_GT(pulseRR.size(), ecg.times.size() * 9 / 10);
  std::vector<double> differences;
  for (std::size_t i = 0; i < pulseRR.size(); ++i) differences.push_back(std::abs(pulseRR[i] - ecgRR[i]));
  std::nth_element(differences.begin(), differences.begin() + differences.size() / 2, differences.end());
  const double median = differences[differences.size() / 2];
  std::printf("median |RR difference| %.1f ms over %zu intervals\n", 1000 * median, differences.size());
  EXPECT_LT(median, 0.010);
}

}  // namespace
