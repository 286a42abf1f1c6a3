// SPDX-License-Identifier: MIT
// AnalysisResults reads the beats through the host's event reader; what it computes from them
// is BeatStatistics' own (tests/hrv/engine/beat_statistics_test.cpp).
#include "hrv/core/analysis_results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <span>
#include <vector>

#include "fake_host_document.h"
#include "hrv/engine/recalc_mask.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {
namespace {

constexpr std::uint32_t kFullAnalysis = 0x4FFFFFF;  // what the document passes
constexpr HRESULT kHostRefused = make_hresult(0x80070005);

// RR intervals around 0.8 s with a 0.1 Hz oscillation and noise, from a fixed seed.
std::vector<double> intervals(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::vector<double> rr;
  for (double t = 0.0; rr.size() < n; t += rr.back()) rr.push_back(0.8 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen));
  return rr;
}

class AnalysisResultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComPtr<IArithmeticCalculation> calculation;
    ASSERT_EQ(host->CreateChannel(u"HRV_vFID", &fiducial), S_OK);
    ASSERT_EQ(host->CreateArithmeticCalculation(calculation.put()), S_OK);
    calculation->Initialise(u"fiducial(HRV_vLPF,HRV_vDET)", u"", nullptr);
    ASSERT_EQ(host->SetCalculation(fiducial, calculation.get()), S_OK);
  }

  // Beats after the record's last one at the given intervals, as the enumerator yields them:
  // a record's first beat has no RR, its second no delta-RR. The record's data grow to just
  // past the last beat, as while sampling.
  void append(std::int32_t record, std::span<const double> rr) {
    auto& r = host->records.at(static_cast<std::size_t>(record));
    fake_host::Beat last{{0, record}, kUndefined, kUndefined, 1.2, ClassUnknown, 0};
    bool first = true;
    for (const auto& b : host->beats)
      if (b.at.record == record) last = b, first = false;
    for (double interval : rr) {
      fake_host::Beat b{{last.at.tick + static_cast<std::int32_t>(std::lround(interval / r.sampleInterval)), record},
                        kUndefined, kUndefined, 1.2, ClassUnknown, 0};
      if (!first) b.rr = (b.at.tick - last.at.tick) * r.sampleInterval, b.flags = UseRR;
      if (!std::isnan(last.rr)) b.deltaRR = b.rr - last.rr, b.flags = UseRR | UseDeltaRR;
      host->add_beat(b);
      r.length = b.at.tick + 1;
      last = b, first = false;
    }
  }
  void append(std::int32_t record, const std::vector<double>& rr) { append(record, std::span(rr)); }

  // Settings whose region runs from tick 0 of record 0 to the end of the host's data.
  SettingsFields whole_document() const {
    SettingsFields s;
    s.StartTick = s.StartRecord = 0;
    s.EndTick = host->end_of_data().tick;
    s.EndRecord = host->end_of_data().record;
    return s;
  }

  ComPtr<fake_host::HostDocument> host = make_com<fake_host::HostDocument>();
  ChannelId fiducial;
  AnalysisResults results;
};

TEST_F(AnalysisResultsTest, CollectsIncludedBeatsWithTheTimeBaseOfTheirRecord) {
  host->records = {{0.0, 0.001, 0}, {1000.0, 0.002, 0}};
  append(0, {1.0, 0.8, 0.9, 0.8});
  append(1, {1.0, 0.8, 0.9, 0.9});
  EXPECT_EQ(results.Recalculate(kFullAnalysis, host.get(), whole_document(), fiducial), 4u);
  // Only the last two beats of each record have both intervals. Record 1's ticks are 2 ms
  // apart and start at 1000 s; ticks times intervals are exact to a few ulps.
  const std::vector<double> times{2.7, 3.5, 1002.7, 1003.6}, rr{0.9, 0.8, 0.9, 0.9}, delta{0.1, -0.1, 0.1, 0.0};
  ASSERT_EQ(results.timeSeries.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(results.timeSeries[i], times[i], 1e-12) << i;
    EXPECT_NEAR(results.rrSeries[i], rr[i], 1e-15) << i;
    EXPECT_NEAR(results.deltaRRSeries[i], delta[i], 1e-15) << i;
  }
  EXPECT_EQ(results.poincarePoints[2].record, 1);
  EXPECT_EQ(results.poincarePoints[2].tick, 1350);
  EXPECT_EQ(results.poincarePoints[2].beatNumber, 7);
  EXPECT_EQ(results.classifierPoints.size(), 4u);
  EXPECT_EQ(results.startTime, 0.0);
  EXPECT_NEAR(results.endTime, 1000.0 + 1801 * 0.002, 1e-12);
}

TEST_F(AnalysisResultsTest, ReadsOnlyTheRegionBetweenItsPositions) {
  for (int r = 0; r < 3; ++r) {
    host->records.push_back({100.0 * r, 0.001, 0});
    append(r, std::vector<double>(60, 0.8));  // beats at 0.8 ... 48 s
  }
  SettingsFields s;
  s.StartRecord = 0, s.StartTick = 20000;  // from 20 s of record 0
  s.EndRecord = 1, s.EndTick = 10000;      // to 10 s of record 1
  results.Recalculate(kFullAnalysis, host.get(), s, fiducial);
  // Record 0: the beats at 20.0 ... 48.0 s; record 1 (from 100 s): 2.4 ... 9.6 s, as its
  // first two beats have no intervals.
  ASSERT_EQ(results.rrSeries.size(), 36u + 10u);
  EXPECT_NEAR(results.timeSeries.front(), 20.0, 1e-12);
  EXPECT_NEAR(results.timeSeries.back(), 109.6, 1e-12);
  EXPECT_EQ(host->readersOpened, 2);
  EXPECT_NEAR(results.startTime, 20.0, 1e-12);
  EXPECT_NEAR(results.endTime, 110.0, 1e-12);
}

TEST_F(AnalysisResultsTest, PassesOverARecordTheHostCannotRead) {
  for (int r = 0; r < 3; ++r) {
    host->records.push_back({100.0 * r, 0.001, 0});
    append(r, std::vector<double>(10, 0.8));
  }
  host->readerFailure = E_FAIL;
  host->failingRecord = 1;
  EXPECT_EQ(results.Recalculate(kFullAnalysis, host.get(), whole_document(), fiducial), 16u);
}

TEST_F(AnalysisResultsTest, MasksWithoutResultBitsAndSettingsWithoutARegionReadNothing) {
  host->records = {{0.0, 0.001, 0}};
  append(0, intervals(50, 3));
  results.Recalculate(kFullAnalysis, host.get(), whole_document(), fiducial);
  EXPECT_EQ(results.Recalculate(0xFF000000, host.get(), whole_document(), fiducial), 0u);
  EXPECT_EQ(results.rrSeries.size(), 48u);
  EXPECT_EQ(results.Recalculate(kFullAnalysis, host.get(), SettingsFields{}, fiducial), 0u);
  EXPECT_EQ(host->readersOpened, 1);
  EXPECT_TRUE(results.classifierPoints.empty());
}

// Every statistics setting reaches the statistics: the results equal a recompute of the same
// beats with the options written out here.
TEST_F(AnalysisResultsTest, TheSettingsBecomeTheStatisticsOptions) {
  host->records = {{0.0, 0.001, 0}};
  append(0, intervals(600, 7));
  SettingsFields s = whole_document();
  s.BinWidthSec = 0.02, s.PRRThresholdSec = 0.03, s.SDARRPeriodSec = 60.0, s.WindowFunction = 2;
  s.FrequencyCount = 256, s.MaxFrequencyHz = 0.8, s.VLFLowHz = 0.001, s.VLFHighHz = 0.05, s.LFLowHz = 0.06;
  s.LFHighHz = 0.2, s.HFLowHz = 0.25, s.HFHighHz = 0.5;
  results.Recalculate(kFullAnalysis, host.get(), s, fiducial);
  BeatStatistics expected = results;
  const StatisticsOptions o{0.02, false, 0.03, 60.0, 2, 256, 0.8, 0.001, 0.05, 0.06, 0.2, 0.25, 0.5};
  expected.Recompute(0x00FFFFFF, o);
  EXPECT_EQ(results.rrHistogram.binWidth, 0.02);
  EXPECT_EQ(results.overThresholdCount, expected.overThresholdCount);
  EXPECT_EQ(results.groups.groupCount, expected.groups.groupCount);
  EXPECT_EQ(results.spectrum().power, expected.spectrum().power);
  for (auto [got, want, band] : {std::tuple{results.spectrum().vlfPower, expected.spectrum().vlfPower, "VLF"},
                                 {results.spectrum().lfPower, expected.spectrum().lfPower, "LF"},
                                 {results.spectrum().hfPower, expected.spectrum().hfPower, "HF"}})
    EXPECT_EQ(got, want) << band;
  s.AutoBinWidth = true;
  results.Recalculate(RecalcHistograms, nullptr, s, fiducial);  // the stored beats, no host
  EXPECT_NE(results.rrHistogram.binWidth, 0.02);
}

// Incremental analysis while the host samples.
class OnlineAnalysisTest : public AnalysisResultsTest {
 protected:
  void SetUp() override {
    AnalysisResultsTest::SetUp();
    host->records = {{20.0, 0.001, 0}};
    settings.StartTick = settings.StartRecord = 0;
    settings.EndTick = TickPosition::open_end().tick;
    settings.EndRecord = TickPosition::open_end().record;
    settings.SDARRPeriodSec = 120.0;
  }
  // The same beats analysed in one go over the region that sampling produced.
  AnalysisResults batch() const {
    SettingsFields closed = settings;
    closed.EndTick = host->end_of_data().tick;
    closed.EndRecord = host->end_of_data().record;
    AnalysisResults r;
    r.Recalculate(kFullAnalysis, host.get(), closed, fiducial);
    return r;
  }
  SettingsFields settings;
};

TEST_F(OnlineAnalysisTest, MatchesTheBatchAnalysisOfTheSameBeats) {
  ASSERT_EQ(results.StartOnline(host.get(), settings, fiducial), S_OK);
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);  // nothing recorded yet
  const std::vector<double> rr = intervals(1500, 8);
  std::size_t next = 0;
  for (std::size_t size : {1u, 2u, 7u, 40u, 300u, 150u}) {
    append(0, std::span(rr).subspan(next, size));
    next += size;
    if (next == 350) host->beats[100].flags = UseRR | UseDeltaRR | ClassOutsideFF;
    results.AddOnlineBeats();
  }
  // Sampling goes on in a new record, whose first two beats have no intervals.
  host->records.push_back({1000.0, 0.002, 0});
  append(1, std::span(rr).subspan(next, 500));
  EXPECT_EQ(results.AddOnlineBeats(), S_OK);
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);  // nothing new
  host->records[1].length += 30000;              // 60 s of data after the last beat
  EXPECT_EQ(results.StopOnline(), S_FALSE);
  EXPECT_FALSE(results.online());

  const AnalysisResults b = batch();
  EXPECT_EQ(results.beatCount, 498u + 498u);
  EXPECT_EQ(results.ectopicCount, 1u);
  EXPECT_EQ(results.timeSeries, b.timeSeries);
  EXPECT_EQ(results.rrSeries, b.rrSeries);
  EXPECT_EQ(results.classifierPoints.size(), b.classifierPoints.size());
  EXPECT_EQ(results.rrHistogram.counts, b.rrHistogram.counts);
  EXPECT_GE(results.groups.groupCount, 7u);
  EXPECT_EQ(results.groups.groupCount, b.groups.groupCount);
  EXPECT_EQ(results.spectrum().power, b.spectrum().power);
  EXPECT_EQ(results.spectrum().lfPower, b.spectrum().lfPower);
  // Once sampling has stopped, recalculating the threshold sorts for the exact median.
  results.Recalculate(RecalcThreshold, nullptr, settings, fiducial);
  EXPECT_EQ(results.medianRR, b.medianRR);
}

TEST_F(OnlineAnalysisTest, ResumesAfterAStopWithoutReadingBeatsTwice) {
  const std::vector<double> rr = intervals(400, 9);
  ASSERT_EQ(results.StartOnline(host.get(), settings, fiducial), S_OK);
  append(0, std::span(rr).first(150));
  EXPECT_EQ(results.StopOnline(), S_OK);  // the pending beats are taken on stopping
  ASSERT_EQ(results.StartOnline(host.get(), settings, fiducial), S_OK);
  append(0, std::span(rr).subspan(150));
  EXPECT_EQ(results.AddOnlineBeats(), S_OK);
  EXPECT_EQ(results.StopOnline(), S_FALSE);
  const AnalysisResults b = batch();
  EXPECT_EQ(results.beatCount, 398u);
  EXPECT_EQ(results.rrSeries, b.rrSeries);
  EXPECT_EQ(results.classifierPoints.size(), b.classifierPoints.size());
}

TEST_F(OnlineAnalysisTest, ClosesTheLastGroupOnlyOnceTheDataReachItsEnd) {
  ASSERT_EQ(results.StartOnline(host.get(), settings, fiducial), S_OK);
  // Beats to 340 s of a record that starts at 20 s; groups end at 140, 260 and 380 s.
  append(0, std::vector<double>(400, 0.8));
  results.AddOnlineBeats();
  AnalysisResults stoppedEarly = results;  // shares the reader, which has nothing more to give
  EXPECT_EQ(stoppedEarly.StopOnline(), S_FALSE);
  EXPECT_EQ(stoppedEarly.groups.groupCount, 2u);
  EXPECT_EQ(stoppedEarly.groups.openCount, 101u);  // the beats at 260 ... 340 s
  host->records[0].length = 360000;                 // the data now reach 380 s
  EXPECT_EQ(results.StopOnline(), S_FALSE);
  EXPECT_EQ(results.groups.groupCount, 3u);
  EXPECT_EQ(results.groups.openCount, 0u);
}

TEST_F(OnlineAnalysisTest, UsesTheFixedBinWidthAndRecalculatesNothingWhileSampling) {
  settings.AutoBinWidth = true;  // needs all values in advance: not while sampling
  settings.BinWidthSec = 0.02;
  ASSERT_EQ(results.StartOnline(host.get(), settings, fiducial), S_OK);
  append(0, intervals(50, 11));
  results.AddOnlineBeats();
  EXPECT_EQ(results.rrHistogram.binWidth, 0.02);
  EXPECT_EQ(results.rrHistogram.total(), 48.0);
  EXPECT_EQ(results.Recalculate(0xFFFFFFFF, host.get(), settings, fiducial), 0u);
  EXPECT_EQ(results.rrSeries.size(), 48u);
  EXPECT_EQ(results.StartOnline(host.get(), settings, fiducial), S_FALSE);  // already online
}

TEST_F(OnlineAnalysisTest, ReportsTheHostFailureWhenTheReaderCannotBeOpened) {
  host->readerFailure = kHostRefused;
  EXPECT_EQ(results.StartOnline(host.get(), settings, fiducial), kHostRefused);
  EXPECT_FALSE(results.online());
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);
  EXPECT_EQ(results.StartOnline(host.get(), SettingsFields{}, fiducial), HRV_E_NO_ANALYSIS);
}

}  // namespace
}  // namespace HRV
