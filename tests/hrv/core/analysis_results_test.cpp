// SPDX-License-Identifier: MIT
#include "hrv/core/analysis_results.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "hrv/engine/recalc_mask.h"
#include "tests/hrv/core/fake_event_source.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {
namespace {

using test_support::FakeDocumentData;
using test_support::kFiducialChannel;

constexpr std::uint32_t kFullAnalysis = 0x4FFFFFF;  // what the document passes
constexpr HRESULT kHostRefused = make_hresult(0x80070005);

ComPtr<FakeDocumentData> make_document() { return make_com<FakeDocumentData>(); }

// Settings whose region runs from tick 0 of record 0 to the end of the document's data.
SettingsFields whole_document(const FakeDocumentData& doc) {
  SettingsFields s;
  s.StartTick = 0;
  s.StartRecord = 0;
  s.EndTick = doc.end_of_data().tick;
  s.EndRecord = doc.end_of_data().record;
  return s;
}

// RR intervals around 0.8 s with a 0.1 Hz oscillation and noise, from a fixed seed.
std::vector<double> intervals(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::vector<double> rr;
  double t = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = 0.8 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen);
    rr.push_back(x);
    t += x;
  }
  return rr;
}

// |a - b| within `relative` of |b| (or absolutely when b is 0).
void expect_close(double a, double b, double relative, const char* what) {
  EXPECT_LE(std::abs(a - b), relative * std::max(std::abs(b), 1e-300)) << what << ": " << a << " vs " << b;
}

class AnalysisResultsTest : public ::testing::Test {
 protected:
  ComPtr<FakeDocumentData> doc = make_document();
  AnalysisResults results;
};

TEST_F(AnalysisResultsTest, CollectsIncludedBeatsWithTheTimeBaseOfTheirRecord) {
  doc->add_record(0.0, 0.001);
  doc->append_beats(0, std::vector<std::int32_t>{1000, 1800, 2700, 3500});
  doc->add_record(1000.0, 0.002);
  doc->append_beats(1, std::vector<std::int32_t>{500, 900, 1350, 1800});

  EXPECT_EQ(results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel), 4u);

  // The first beat of each record has no RR and the second no delta-RR: only the last two
  // of each record count. Record 1's ticks are 2 ms apart and start at 1000 s.
  const std::vector<double> times{2.7, 3.5, 1002.7, 1003.6};
  const std::vector<double> rr{0.9, 0.8, 0.9, 0.9};
  const std::vector<double> delta{0.1, -0.1, 0.1, 0.0};
  ASSERT_EQ(results.timeSeries.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    // Ticks times sample intervals: exact to a few ulps of the record's start time.
    EXPECT_NEAR(results.timeSeries[i], times[i], 1e-12) << i;
    EXPECT_NEAR(results.rrSeries[i], rr[i], 1e-15) << i;
    EXPECT_NEAR(results.deltaRRSeries[i], delta[i], 1e-15) << i;
    EXPECT_NEAR(results.rateSeries[i], 1.0 / rr[i], 1e-14) << i;
    EXPECT_NEAR(results.poincarePoints[i].x, rr[i] - delta[i], 1e-15) << i;
    EXPECT_NEAR(results.poincarePoints[i].y, rr[i], 1e-15) << i;
  }
  EXPECT_EQ(results.poincarePoints[2].record, 1);
  EXPECT_EQ(results.poincarePoints[2].tick, 1350);
  EXPECT_EQ(results.poincarePoints[2].beatNumber, 7);
  EXPECT_EQ(results.classifierPoints.size(), 4u);
  EXPECT_EQ(results.beatCount, 4u);
  EXPECT_EQ(results.normalCount, 4u);
  EXPECT_EQ(results.ectopicCount, 0u);
  EXPECT_NEAR(results.minRR, 0.8, 1e-15);
  EXPECT_NEAR(results.maxRR, 0.9, 1e-15);
  EXPECT_EQ(results.minFF, 1.2);
  EXPECT_EQ(results.startTime, 0.0);
  EXPECT_NEAR(results.endTime, 1000.0 + 1801 * 0.002, 1e-12);
}

TEST_F(AnalysisResultsTest, KeepsBeatsOutsideTheStatisticsAsClassifierPointsOnly) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, std::vector<double>{0.8, 0.8, 0.8, 0.8, 0.4, 1.2, 0.8, 0.8, 0.8, 0.8});
  auto& beats = doc->records[0].beats;
  // Beat 4 (RR 0.4 s) is an excluded ectopic beat, beat 5 follows it and loses its
  // delta-RR use, beat 8 is an ectopic beat that is kept, beat 9 an empty slot.
  beats[4].flags = ClassOutsideRR;
  beats[5].flags = UseRR;
  beats[8].flags = UseRR | UseDeltaRR | ClassOutsideFF;
  beats[8].ff = 2.5;
  beats[9].tick = FiducialEvent::kEmptyTick;

  EXPECT_EQ(results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel), 5u);
  EXPECT_EQ(results.normalCount, 4u);
  EXPECT_EQ(results.ectopicCount, 1u);
  EXPECT_EQ(TotalBeats(results), 5u);
  // Beats 2 to 8 have both intervals; the empty slot takes part in nothing.
  EXPECT_EQ(results.classifierPoints.size(), 7u);
  EXPECT_EQ(results.poincarePoints.size(), 5u);
  // The extents cover the excluded beats too.
  EXPECT_NEAR(results.minRR, 0.4, 1e-15);
  EXPECT_NEAR(results.maxRR, 1.2, 1e-15);
  EXPECT_EQ(results.maxFF, 2.5);
}

TEST_F(AnalysisResultsTest, ReadsOnlyTheRegionBetweenItsPositions) {
  for (int r = 0; r < 3; ++r) {
    doc->add_record(100.0 * r, 0.001);
    doc->append_intervals(r, std::vector<double>(60, 0.8));  // beats at 0.8 ... 48 s
  }
  SettingsFields s;
  s.StartRecord = 0;
  s.StartTick = 20000;  // from 20 s of record 0
  s.EndRecord = 1;
  s.EndTick = 10000;  // to 10 s of record 1
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  // Record 0: the beats at 20.0 ... 48.0 s; record 1 (from 100 s): 2.4 ... 9.6 s, as its
  // first two beats have no intervals.
  ASSERT_FALSE(results.timeSeries.empty());
  EXPECT_NEAR(results.timeSeries.front(), 20.0, 1e-12);
  EXPECT_NEAR(results.timeSeries.back(), 109.6, 1e-12);
  EXPECT_EQ(results.rrSeries.size(), 36u + 10u);
  EXPECT_EQ(doc->readersOpened, 2);
  EXPECT_NEAR(results.startTime, 20.0, 1e-12);
  EXPECT_NEAR(results.endTime, 110.0, 1e-12);
}

TEST_F(AnalysisResultsTest, PassesOverARecordTheHostCannotRead) {
  for (int r = 0; r < 3; ++r) {
    doc->add_record(100.0 * r, 0.001);
    doc->append_intervals(r, std::vector<double>(10, 0.8));
  }
  doc->unreadableRecord = 1;
  EXPECT_EQ(results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel), 16u);
}

TEST_F(AnalysisResultsTest, MaskWithoutResultBitsDoesNothing) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, intervals(50, 3));
  const SettingsFields s = whole_document(*doc);
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  const int readers = doc->readersOpened;
  EXPECT_EQ(results.Recalculate(0xFF000000, doc.get(), s, kFiducialChannel), 0u);
  EXPECT_EQ(doc->readersOpened, readers);
  EXPECT_EQ(results.rrSeries.size(), 48u);
  // Collecting without a region resets and reads nothing.
  EXPECT_EQ(results.Recalculate(kFullAnalysis, doc.get(), SettingsFields{}, kFiducialChannel), 0u);
  EXPECT_EQ(doc->readersOpened, readers);
  EXPECT_TRUE(results.classifierPoints.empty());
}

TEST_F(AnalysisResultsTest, RecomputesOnlyWhatTheMaskSelectsFromTheStoredBeats) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, intervals(400, 4));
  SettingsFields s = whole_document(*doc);
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  const AnalysisResults before = results;

  s.PRRThresholdSec = 0.01;
  s.LFHighHz = 0.2;
  s.BinWidthSec = 0.05;
  EXPECT_EQ(results.Recalculate(RecalcThreshold | RecalcBands, nullptr, s, kFiducialChannel), 398u);
  EXPECT_GT(results.overThresholdCount, before.overThresholdCount);
  EXPECT_EQ(results.threshold, 0.01);
  EXPECT_GT(results.spectrum.lfPower, before.spectrum.lfPower);  // the wider band
  EXPECT_EQ(results.spectrum.power, before.spectrum.power);     // no new periodogram
  EXPECT_EQ(results.spectrum.totalPower, before.spectrum.totalPower);
  EXPECT_EQ(results.rrHistogram.binWidth, 0.01);  // histograms not asked for
  EXPECT_EQ(results.rr.corrected, before.rr.corrected);
}

TEST_F(AnalysisResultsTest, CountsOnlyDifferencesStrictlyAboveTheThreshold) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, std::vector<double>(8, 0.8));
  // Beats 2 to 7 are included; give them chosen differences.
  const std::vector<double> delta{0.05, -0.05, 0.0501, -0.0501, 0.02, 0.0};
  for (std::size_t i = 0; i < delta.size(); ++i) doc->records[0].beats[i + 2].deltaRR = delta[i];
  SettingsFields s = whole_document(*doc);
  s.PRRThresholdSec = 0.05;
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  EXPECT_EQ(results.overThresholdCount, 2u);  // ±0.05 on the threshold do not count
  EXPECT_NEAR(PRRx(results), 100.0 * 2 / 6, 1e-12);
}

TEST_F(AnalysisResultsTest, MedianOfAnEvenCountIsTheMeanOfTheTwoMiddleValues) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, std::vector<double>{0.8, 0.8, 1.0, 0.7, 0.9, 0.75});
  results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel);
  ASSERT_EQ(results.beatCount, 4u);  // 1.0, 0.7, 0.9, 0.75
  EXPECT_NEAR(MedianRR(results), 0.825, 1e-15);
  doc->append_intervals(0, std::vector<double>{0.95});
  results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel);
  EXPECT_NEAR(MedianRR(results), 0.9, 1e-15);
}

TEST_F(AnalysisResultsTest, HistogramsUseTheFixedWidthOrScottsRule) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, intervals(1000, 5));
  SettingsFields s = whole_document(*doc);
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  EXPECT_EQ(results.rrHistogram.binWidth, 0.01);
  EXPECT_EQ(results.deltaRRHistogram.binWidth, 0.01);
  EXPECT_EQ(results.rrHistogram.total(), 998.0);
  const auto lowest = *std::min_element(results.rrSeries.begin(), results.rrSeries.end());
  EXPECT_EQ(results.rrHistogram.firstBin, static_cast<std::int32_t>(std::floor(lowest / 0.01)));

  s.AutoBinWidth = true;
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  EXPECT_DOUBLE_EQ(results.rrHistogram.binWidth, 3.5 * SDRR(results) / std::cbrt(998.0));
  EXPECT_DOUBLE_EQ(results.deltaRRHistogram.binWidth, 3.5 * SDSD(results) / std::cbrt(998.0));
  EXPECT_EQ(results.deltaRRHistogram.total(), 998.0);
}

TEST_F(AnalysisResultsTest, OneBeatGivesNoHistogramAndNoSpectrum) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, std::vector<double>{0.8, 0.8, 0.8});
  SettingsFields s = whole_document(*doc);
  s.AutoBinWidth = true;
  EXPECT_EQ(results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel), 1u);
  EXPECT_EQ(results.rrHistogram.binWidth, 0.0);
  EXPECT_TRUE(results.rrHistogram.counts.empty());
  EXPECT_EQ(results.spectrum.totalPower, 0.0);
  EXPECT_EQ(results.spectrum.lfPower, 0.0);
  EXPECT_TRUE(std::isnan(LFPercent(results.spectrum)));
}

TEST_F(AnalysisResultsTest, ResetEmptiesTheRecordAndClearsTheExtents) {
  EXPECT_EQ(results.minRR, 0.8);  // a new record holds the default classifier box
  EXPECT_EQ(results.maxFF, 1.5);
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, intervals(100, 6));
  results.Recalculate(kFullAnalysis, doc.get(), whole_document(*doc), kFiducialChannel);
  results.Reset();
  EXPECT_TRUE(std::isnan(results.minRR) && std::isnan(results.maxRR) && std::isnan(results.minFF) &&
              std::isnan(results.maxFF));
  EXPECT_TRUE(results.rrSeries.empty() && results.timeSeries.empty() && results.poincarePoints.empty());
  EXPECT_EQ(results.beatCount + results.groups.groupCount, 0u);
  EXPECT_EQ(results.rr.sum, 0.0);
  EXPECT_EQ(results.rrHistogram.binWidth, 0.0);
  EXPECT_EQ(results.spectrum.totalPower, 0.0);
}

TEST_F(AnalysisResultsTest, GroupsBeatsFromTheRegionStartUpToTheEndOfTheData) {
  // Beats every 0.8 s to 699.2 s of a record that starts at 50 s; the data end at 700 s.
  doc->add_record(50.0, 0.001);
  doc->append_intervals(0, std::vector<double>(874, 0.8));
  doc->records[0].length = 700000;
  SettingsFields s = whole_document(*doc);
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);
  EXPECT_EQ(results.startTime, 50.0);
  EXPECT_EQ(results.groups.groupCount, 2u);  // 600 to 900 s is cut off by the end of the data
  EXPECT_NEAR(SDARR(results), 0.0, 1e-12);   // equal intervals; group means differ by rounding only

  // Groups of 100 s: the data end exactly where the seventh ends, so it counts.
  s.SDARRPeriodSec = 100.0;
  results.Recalculate(RecalcGroups, nullptr, s, kFiducialChannel);
  EXPECT_EQ(results.groups.groupCount, 7u);
}

TEST_F(AnalysisResultsTest, SpectrumStepUsesTheSpectrumSettings) {
  doc->add_record(0.0, 0.001);
  doc->append_intervals(0, intervals(600, 7));
  SettingsFields s = whole_document(*doc);
  s.WindowFunction = 2;
  s.FrequencyCount = 256;
  s.MaxFrequencyHz = 0.8;
  results.Recalculate(kFullAnalysis, doc.get(), s, kFiducialChannel);

  PowerSpectrum direct;
  ASSERT_TRUE(LombScargle(2, results.rrSeries, results.timeSeries, direct, 256, 0.8));
  EXPECT_EQ(results.spectrum.power, direct.power);
  const double duration = results.timeSeries.back() - results.timeSeries.front();
  EXPECT_EQ(results.spectrum.totalPower, BandPower(direct, 0.0, 0.8, duration));
  EXPECT_EQ(results.spectrum.hfPower, BandPower(direct, 0.15, 0.45, duration));
  // The 0.1 Hz oscillation of the intervals puts most of the power into LF.
  EXPECT_GT(results.spectrum.lfPower, results.spectrum.hfPower);
  EXPECT_GT(results.spectrum.lfPower, results.spectrum.vlfPower);
}

// Incremental analysis while the host samples.
class OnlineAnalysisTest : public AnalysisResultsTest {
 protected:
  void SetUp() override {
    doc->add_record(20.0, 0.001);
    settings.StartTick = 0;
    settings.StartRecord = 0;
    settings.EndTick = TickPosition::open_end().tick;
    settings.EndRecord = TickPosition::open_end().record;
    settings.SDARRPeriodSec = 120.0;
  }

  // The same beats analysed in one go over the region that sampling produced.
  AnalysisResults batch() const {
    SettingsFields closed = settings;
    closed.EndTick = doc->end_of_data().tick;
    closed.EndRecord = doc->end_of_data().record;
    AnalysisResults r;
    r.Recalculate(kFullAnalysis, doc.get(), closed, kFiducialChannel);
    return r;
  }

  SettingsFields settings;
};

TEST_F(OnlineAnalysisTest, MatchesTheBatchAnalysisOfTheSameBeats) {
  ASSERT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_OK);
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);  // nothing recorded yet
  const std::vector<double> rr = intervals(1500, 8);
  std::size_t next = 0;
  int batches = 0;
  for (std::size_t size : {1u, 2u, 7u, 40u, 300u, 150u}) {
    doc->append_intervals(0, std::span(rr).subspan(next, size));
    next += size;
    if (batches++ == 4) doc->records[0].beats[100].flags = UseRR | UseDeltaRR | ClassOutsideFF;
    results.AddOnlineBeats();
  }
  // Sampling goes on in a new record, whose first two beats have no intervals.
  doc->add_record(1000.0, 0.002);
  doc->append_intervals(1, std::span(rr).subspan(next, 500));
  EXPECT_EQ(results.AddOnlineBeats(), S_OK);
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);  // nothing new
  doc->records[1].length += 30000;                // 60 s of data after the last beat
  EXPECT_EQ(results.StopOnline(), S_FALSE);
  EXPECT_FALSE(results.online());

  const AnalysisResults b = batch();
  ASSERT_EQ(results.beatCount, b.beatCount);
  EXPECT_EQ(results.beatCount, 498u + 498u);
  EXPECT_EQ(results.normalCount, b.normalCount);
  EXPECT_EQ(results.ectopicCount, 1u);
  EXPECT_EQ(results.ectopicCount, b.ectopicCount);
  EXPECT_EQ(results.overThresholdCount, b.overThresholdCount);
  EXPECT_EQ(results.classifierPoints.size(), b.classifierPoints.size());
  EXPECT_EQ(results.timeSeries, b.timeSeries);
  // Running sums over the same values in the same order; the tolerance allows a batch
  // pass that associates differently.
  for (auto [online, whole, name] : {std::tuple{&results.rr, &b.rr, "RR"}, std::tuple{&results.deltaRR, &b.deltaRR, "dRR"},
                                     std::tuple{&results.rate, &b.rate, "rate"}}) {
    expect_close(online->sum, whole->sum, 1e-12, name);
    expect_close(online->sumSquares, whole->sumSquares, 1e-12, name);
    expect_close(online->corrected, whole->corrected, 1e-12, name);
  }
  EXPECT_EQ(results.rrHistogram.firstBin, b.rrHistogram.firstBin);
  EXPECT_EQ(results.rrHistogram.counts, b.rrHistogram.counts);
  EXPECT_EQ(results.deltaRRHistogram.counts, b.deltaRRHistogram.counts);
  EXPECT_EQ(results.groups.groupCount, b.groups.groupCount);
  EXPECT_GE(results.groups.groupCount, 7u);
  expect_close(results.groups.means.sum, b.groups.means.sum, 1e-12, "group means");
  expect_close(results.groups.means.corrected, b.groups.means.corrected, 1e-12, "group spread");
  ASSERT_EQ(results.spectrum.power.size(), b.spectrum.power.size());
  const double peak = *std::max_element(b.spectrum.power.begin(), b.spectrum.power.end());
  for (std::size_t k = 0; k < b.spectrum.power.size(); ++k)
    EXPECT_NEAR(results.spectrum.power[k], b.spectrum.power[k], 1e-12 * peak) << "bin " << k;
  expect_close(results.spectrum.totalPower, b.spectrum.totalPower, 1e-12, "total power");
  expect_close(results.spectrum.lfPower, b.spectrum.lfPower, 1e-12, "LF power");

  // The median while sampling is the histogram's estimate, within a bin of the sorted one.
  EXPECT_EQ(results.medianRR, results.rrHistogram.median_estimate());
  EXPECT_NEAR(results.medianRR, b.medianRR, results.rrHistogram.binWidth);
  // Once sampling has stopped, recalculating the threshold sorts for the exact median.
  results.Recalculate(RecalcThreshold, nullptr, settings, kFiducialChannel);
  EXPECT_EQ(results.medianRR, b.medianRR);
}

TEST_F(OnlineAnalysisTest, ResumesAfterAStopWithoutReadingBeatsTwice) {
  const std::vector<double> rr = intervals(400, 9);
  ASSERT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_OK);
  doc->append_intervals(0, std::span(rr).first(150));
  EXPECT_EQ(results.StopOnline(), S_OK);  // the pending beats are taken on stopping
  ASSERT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_OK);
  doc->append_intervals(0, std::span(rr).subspan(150));
  EXPECT_EQ(results.AddOnlineBeats(), S_OK);
  EXPECT_EQ(results.StopOnline(), S_FALSE);

  const AnalysisResults b = batch();
  EXPECT_EQ(results.beatCount, 398u);
  EXPECT_EQ(results.rrSeries, b.rrSeries);
  EXPECT_EQ(results.classifierPoints.size(), b.classifierPoints.size());
  EXPECT_EQ(results.groups.groupCount, b.groups.groupCount);
}

TEST_F(OnlineAnalysisTest, ClosesTheLastGroupOnlyOnceTheDataReachItsEnd) {
  ASSERT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_OK);
  // Beats to 320 s of a record that starts at 20 s; groups end at 140, 260 and 380 s.
  doc->append_intervals(0, std::vector<double>(400, 0.8));
  results.AddOnlineBeats();
  // A copy stopped now: it shares the reader, which has nothing more to give.
  AnalysisResults stoppedEarly = results;
  EXPECT_EQ(stoppedEarly.StopOnline(), S_FALSE);
  EXPECT_EQ(stoppedEarly.groups.groupCount, 2u);
  EXPECT_EQ(stoppedEarly.groups.openCount, 101u);  // the beats at 260 ... 340 s

  doc->records[0].length = 360000;  // the data now reach 380 s
  EXPECT_EQ(results.StopOnline(), S_FALSE);
  EXPECT_EQ(results.groups.groupCount, 3u);
  EXPECT_EQ(results.groups.openCount, 0u);
}

TEST_F(OnlineAnalysisTest, UsesTheFixedBinWidthAndRecalculatesNothingWhileSampling) {
  settings.AutoBinWidth = true;  // needs all values in advance: not while sampling
  settings.BinWidthSec = 0.02;
  ASSERT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_OK);
  doc->append_intervals(0, intervals(50, 11));
  results.AddOnlineBeats();
  EXPECT_EQ(results.rrHistogram.binWidth, 0.02);
  EXPECT_EQ(results.rrHistogram.total(), 48.0);
  EXPECT_EQ(results.Recalculate(0xFFFFFFFF, doc.get(), settings, kFiducialChannel), 0u);
  EXPECT_EQ(results.rrSeries.size(), 48u);
  EXPECT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), S_FALSE);  // already online
}

TEST_F(OnlineAnalysisTest, ReportsTheHostFailureWhenTheReaderCannotBeOpened) {
  doc->openFailure = kHostRefused;
  EXPECT_EQ(results.StartOnline(doc.get(), settings, kFiducialChannel), kHostRefused);
  EXPECT_FALSE(results.online());
  EXPECT_EQ(results.AddOnlineBeats(), S_FALSE);
  EXPECT_EQ(results.StartOnline(doc.get(), SettingsFields{}, kFiducialChannel), HRV_E_NO_ANALYSIS);
}

}  // namespace
}  // namespace HRV
