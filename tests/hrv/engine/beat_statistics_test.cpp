// SPDX-License-Identifier: MIT
#include "hrv/engine/beat_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <vector>

namespace HRV {
namespace {

constexpr std::uint32_t kEverything = 0x00FFFFFF;

// RR intervals around 0.8 s with a 0.1 Hz oscillation and noise, from a fixed seed.
std::vector<double> intervals(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::vector<double> rr;
  for (double t = 0.0; rr.size() < n; t += rr.back()) rr.push_back(0.8 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen));
  return rr;
}

FiducialEvent event(std::int32_t tick, double rr, double deltaRR, std::uint32_t flags = UseRR | UseDeltaRR, double ff = 1.2) {
  FiducialEvent e;
  e.tick = tick, e.rr = rr, e.deltaRR = deltaRR, e.rate = 1.0 / rr, e.ff = ff, e.flags = flags;
  return e;
}

// Included normal beats at 1 ms ticks of record 0 from `start` s, one per interval; each
// delta-RR is the difference to the interval before (0 for the first).
std::vector<FiducialEvent> beats_of(const std::vector<double>& rr, double start = 0.0) {
  std::vector<FiducialEvent> beats;
  double t = start;
  for (std::size_t i = 0; i < rr.size(); ++i) {
    t += rr[i];
    beats.push_back(event(static_cast<std::int32_t>(std::lround(t * 1000.0)), rr[i], i ? rr[i] - rr[i - 1] : 0.0));
  }
  return beats;
}

double time_of(std::int32_t tick, std::int32_t) { return tick / 1000.0; }

// The beats taken and everything recomputed, over [start, end] s (end: a second after the
// last beat when not given).
BeatStatistics analysed(const std::vector<FiducialEvent>& beats, const StatisticsOptions& options = {},
                        double start = 0.0, double end = -1.0) {
  BeatStatistics s;
  s.Reset();
  for (const FiducialEvent& e : beats) s.Take(e, 0, time_of);
  s.startTime = start;
  s.endTime = end >= 0 ? end : s.timeSeries.empty() ? start : s.timeSeries.back() + 1.0;
  s.Recompute(kEverything, options);
  return s;
}

// Sample standard deviation, two passes.
double sd(const std::vector<double>& x) {
  double mean = 0, m2 = 0;
  for (double v : x) mean += v / static_cast<double>(x.size());
  for (double v : x) m2 += (v - mean) * (v - mean);
  return std::sqrt(m2 / static_cast<double>(x.size() - 1));
}

TEST(BeatStatistics, TakeSortsBeatsIntoNothingClassifierPointsAndIncludedBeats) {
  struct Case {
    const char* what;
    FiducialEvent e;
    BeatStatistics::Taken taken;
  };
  FiducialEvent empty = event(500, 0.8, 0.0);
  empty.tick = FiducialEvent::kEmptyTick;
  const Case cases[] = {
      {"empty slot", empty, BeatStatistics::Taken::Nothing},
      {"no RR", event(600, kUndefined, kUndefined, ClassUnknown), BeatStatistics::Taken::Nothing},
      {"no delta-RR", event(700, 0.9, kUndefined, UseRR), BeatStatistics::Taken::Nothing},
      {"excluded ectopic", event(1000, 0.4, -0.5, ClassOutsideRR), BeatStatistics::Taken::Classified},
      {"after an excluded beat", event(2000, 1.2, 0.8, UseRR), BeatStatistics::Taken::Classified},
      {"normal", event(3000, 0.8, -0.4), BeatStatistics::Taken::Included},
      {"included ectopic", event(4000, 0.9, 0.1, UseRR | UseDeltaRR | ClassOutsideFF, 2.5), BeatStatistics::Taken::Included},
  };
  BeatStatistics s;
  s.Reset();
  std::vector<std::int32_t> asked;
  for (const Case& c : cases)
    EXPECT_EQ(s.Take(c.e, 2, [&](std::int32_t tick, std::int32_t) { return asked.push_back(tick), tick / 1000.0; }), c.taken)
        << c.what;
  EXPECT_EQ(asked, (std::vector<std::int32_t>{3000, 4000}));  // times only of included beats
  EXPECT_EQ(s.timeSeries, (std::vector<double>{3.0, 4.0}));
  EXPECT_EQ(s.classifierPoints.size(), 4u);
  EXPECT_EQ(s.normalCount, 1u);
  EXPECT_EQ(s.ectopicCount, 1u);
  // The extents cover the beats outside the statistics too.
  EXPECT_EQ(s.minRR, 0.4);
  EXPECT_EQ(s.maxRR, 1.2);
  EXPECT_EQ(s.maxFF, 2.5);
  ASSERT_EQ(s.poincarePoints.size(), 2u);
  EXPECT_DOUBLE_EQ(s.poincarePoints[1].x, 0.8);  // the previous RR: RR - delta-RR
  EXPECT_EQ(s.poincarePoints[1].y, 0.9);
  EXPECT_EQ(s.poincarePoints[1].record, 2);
}

TEST(BeatStatistics, MedianIsTheMiddleValueOrTheMeanOfTheTwoMiddleOnes) {
  EXPECT_DOUBLE_EQ(MedianRR(analysed(beats_of({1.0, 0.7, 0.9, 0.75}))), 0.825);
  EXPECT_DOUBLE_EQ(MedianRR(analysed(beats_of({1.0, 0.7, 0.9, 0.75, 0.95}))), 0.9);
  EXPECT_TRUE(std::isnan(MedianRR(analysed({}))));
}

// pRRx counts differences strictly beyond the threshold. At 360 Hz a difference of 18
// samples is 50 ms exactly; formed from ticks as the classifier forms them, such ties land a
// few ulps either side of 0.05 s, yet none counts, in a batch or while sampling, while every
// difference of 19 samples does.
TEST(BeatStatistics, ThresholdCountsOnlyDifferencesStrictlyBeyondItTiesInWholeSamplesExactly) {
  const double dt = 1.0 / 360;
  const std::int32_t differences[] = {18, -18, 19, -19};
  std::vector<FiducialEvent> beats;
  for (std::int32_t k = 0; k < 400; ++k) {
    const double rrBefore = (250 + k) * dt, rr = (250 + k + differences[k % 4]) * dt;
    beats.push_back(event(1000 * (k + 1), rr, rr - rrBefore));
  }
  BeatStatistics batch, online;
  for (BeatStatistics* s : {&batch, &online}) s->Reset(), s->grid = SampleGrid(dt);
  for (const FiducialEvent& e : beats) batch.Take(e, 0, time_of);
  batch.Recompute(kEverything, StatisticsOptions{});
  online.StartIncremental(StatisticsOptions{}, 0.0);
  for (const FiducialEvent& e : beats) online.Take(e, 0, time_of), online.FoldInLastBeat();
  EXPECT_EQ(batch.overThresholdCount, 200u);
  EXPECT_EQ(online.overThresholdCount, 200u);
  EXPECT_DOUBLE_EQ(PRRx(batch), 50.0);
}

TEST(BeatStatistics, HistogramsUseTheFixedWidthOrScottsRule) {
  const std::vector<double> rr = intervals(1000, 5);
  const std::vector<FiducialEvent> beats = beats_of(rr);
  const BeatStatistics fixed = analysed(beats);
  EXPECT_EQ(fixed.rrHistogram.binWidth, 0.01);
  EXPECT_EQ(fixed.rrHistogram.total(), 1000.0);
  EXPECT_EQ(fixed.rrHistogram.firstBin, static_cast<std::int32_t>(std::floor(*std::min_element(rr.begin(), rr.end()) / 0.01)));

  StatisticsOptions o;
  o.autoBinWidth = true;
  const BeatStatistics scott = analysed(beats, o);
  std::vector<double> delta;
  for (const FiducialEvent& e : beats) delta.push_back(e.deltaRR);
  // 3.5 sd / n^(1/3) with the spreads computed here; two-pass against running sums.
  EXPECT_NEAR(scott.rrHistogram.binWidth, 3.5 * sd(rr) / std::cbrt(1000.0), 1e-12 * scott.rrHistogram.binWidth);
  EXPECT_NEAR(scott.deltaRRHistogram.binWidth, 3.5 * sd(delta) / std::cbrt(1000.0), 1e-12 * scott.deltaRRHistogram.binWidth);
  EXPECT_EQ(scott.deltaRRHistogram.total(), 1000.0);
}

TEST(BeatStatistics, OneBeatGivesNoHistogramAndNoSpectrum) {
  StatisticsOptions o;
  o.autoBinWidth = true;
  const BeatStatistics s = analysed(beats_of({0.8}), o);
  EXPECT_EQ(s.rrHistogram.binWidth, 0.0);
  EXPECT_TRUE(s.rrHistogram.counts.empty());
  EXPECT_TRUE(s.spectrum().power.empty());
  EXPECT_EQ(s.spectrum().lfPower, 0.0);
}

TEST(BeatStatistics, GroupsRunFromTheRegionStartUpToTheEndOfTheData) {
  // Beats from 50 s to before 650 s, where the data end, with intervals that drift so that
  // every group has its own mean.
  std::vector<double> rr;
  for (double t = 50.0; t < 648.0; t += rr.back()) rr.push_back(0.8 + 0.1 * std::sin(t * 0.01));
  const std::vector<FiducialEvent> beats = beats_of(rr, 50.0);
  for (double length : {300.0, 100.0}) {
    SCOPED_TRACE("groups of " + std::to_string(length) + " s");
    StatisticsOptions o;
    o.sdarrPeriod = length;
    const double end = 650.0;  // exactly where a group ends
    const BeatStatistics s = analysed(beats, o, 50.0, end);
    // The groups written out: [50 + kL, 50 + (k+1)L), complete only up to the end.
    std::map<int, std::vector<double>> groups;
    for (std::size_t i = 0; i < rr.size(); ++i) {
      const double t = beats[i].tick / 1000.0;
      const int k = static_cast<int>(std::floor((t - 50.0) / length));
      if (50.0 + (k + 1) * length <= end) groups[k].push_back(rr[i]);
    }
    std::vector<double> means;
    for (const auto& [k, values] : groups) {
      double sum = 0;
      for (double v : values) sum += v;
      means.push_back(sum / static_cast<double>(values.size()));
    }
    ASSERT_EQ(s.groups.groupCount, means.size());
    EXPECT_NEAR(SDARR(s), sd(means), 1e-12);
  }
}

TEST(BeatStatistics, SpectrumAndBandsFollowTheOptions) {
  const std::vector<FiducialEvent> beats = beats_of(intervals(600, 7));
  StatisticsOptions o;
  o.window = 2, o.frequencies = 256, o.maxFrequency = 0.8;
  o.lfHigh = o.hfLow = 0.2;
  const BeatStatistics s = analysed(beats, o);
  PowerSpectrum direct;
  ASSERT_TRUE(LombScargle(2, s.rrSeries, s.timeSeries, direct, 256, 0.8));
  EXPECT_EQ(s.spectrum().power, direct.power);
  const double duration = s.timeSeries.back() - s.timeSeries.front();
  EXPECT_EQ(s.spectrum().totalPower, BandPower(direct, 0.0, 0.8, duration));
  EXPECT_EQ(s.spectrum().vlfPower, BandPower(direct, 0.0, 0.04, duration));
  EXPECT_EQ(s.spectrum().lfPower, BandPower(direct, 0.04, 0.2, duration));
  EXPECT_EQ(s.spectrum().hfPower, BandPower(direct, 0.2, 0.45, duration));
  // The 0.1 Hz oscillation of the intervals puts most of the power into LF.
  EXPECT_GT(s.spectrum().lfPower, s.spectrum().hfPower + s.spectrum().vlfPower);
}

TEST(BeatStatistics, RecomputeTouchesOnlyWhatTheMaskSelects) {
  BeatStatistics s = analysed(beats_of(intervals(400, 4)));
  const BeatStatistics before = s;
  StatisticsOptions o;
  o.prrThreshold = 0.01, o.lfHigh = 0.2, o.binWidth = 0.05, o.window = 0;
  s.Recompute(RecalcThreshold | RecalcBands, o);
  EXPECT_GT(s.overThresholdCount, before.overThresholdCount);
  EXPECT_GT(s.spectrum().lfPower, before.spectrum().lfPower);  // the wider band
  EXPECT_EQ(s.spectrum().power, before.spectrum().power);      // no new periodogram
  EXPECT_EQ(s.spectrum().totalPower, before.spectrum().totalPower);
  EXPECT_EQ(s.rrHistogram.binWidth, 0.01);  // histograms not asked for
}

TEST(BeatStatistics, ResetEmptiesEverythingAndMakesTheExtentsUnknown) {
  BeatStatistics s = analysed(beats_of(intervals(100, 6)));
  s.Reset();
  EXPECT_TRUE(std::isnan(s.minRR) && std::isnan(s.maxRR) && std::isnan(s.minFF) && std::isnan(s.maxFF));
  EXPECT_TRUE(s.rrSeries.empty() && s.timeSeries.empty() && s.poincarePoints.empty() && s.classifierPoints.empty());
  EXPECT_EQ(s.beatCount + s.groups.groupCount + s.normalCount, 0u);
  EXPECT_EQ(s.rr.sum, 0.0);
  EXPECT_EQ(s.rrHistogram.binWidth, 0.0);
  EXPECT_TRUE(s.spectrum().power.empty());
}

// While the host samples every statistic is updated beat by beat; the result must be that
// of recomputing over the same beats.
TEST(BeatStatistics, UpdatesBeatByBeatEqualARecomputeOfTheSameBeats) {
  const std::vector<FiducialEvent> beats = beats_of(intervals(1500, 8), 20.0);
  StatisticsOptions o;
  o.sdarrPeriod = 120.0;
  BeatStatistics online;
  online.Reset();
  online.startTime = 20.0;
  online.StartIncremental(o, 20.0);
  std::size_t next = 0;
  for (std::size_t size : {1u, 2u, 7u, 40u, 300u, 150u, 1000u}) {
    for (const std::size_t end = next + size; next < end; ++next)
      if (online.Take(beats[next], 0, time_of) == BeatStatistics::Taken::Included) online.FoldInLastBeat();
    online.FinishBatch(o);
    if (size == 40) {  // read between batches, the spectrum is that of the beats so far
      const std::vector<FiducialEvent> sofar(beats.begin(), beats.begin() + static_cast<std::ptrdiff_t>(next));
      EXPECT_EQ(online.spectrum().power, analysed(sofar, o, 20.0, online.timeSeries.back() + 1.0).spectrum().power);
    }
  }
  const double end = online.timeSeries.back() + 1.0;
  online.groups.close_if_complete(end);
  const BeatStatistics batch = analysed(beats, o, 20.0, end);

  ASSERT_EQ(online.beatCount, 1500u);
  EXPECT_EQ(online.overThresholdCount, batch.overThresholdCount);
  // Running sums over the same values in the same order; the tolerance allows a batch
  // pass that associates differently.
  for (auto [a, b, name] : {std::tuple{&online.rr, &batch.rr, "RR"}, std::tuple{&online.deltaRR, &batch.deltaRR, "dRR"},
                            std::tuple{&online.rate, &batch.rate, "rate"}}) {
    EXPECT_NEAR(a->sum, b->sum, 1e-12 * std::abs(b->sum)) << name;
    EXPECT_NEAR(a->sumSquares, b->sumSquares, 1e-12 * b->sumSquares) << name;
    EXPECT_NEAR(a->corrected, b->corrected, 1e-12 * b->corrected) << name;
  }
  EXPECT_EQ(online.rrHistogram.firstBin, batch.rrHistogram.firstBin);
  EXPECT_EQ(online.rrHistogram.counts, batch.rrHistogram.counts);
  EXPECT_EQ(online.deltaRRHistogram.counts, batch.deltaRRHistogram.counts);
  ASSERT_GE(batch.groups.groupCount, 7u);
  EXPECT_EQ(online.groups.groupCount, batch.groups.groupCount);
  EXPECT_NEAR(online.groups.means.corrected, batch.groups.means.corrected, 1e-12 * batch.groups.means.corrected);
  ASSERT_EQ(online.spectrum().power.size(), batch.spectrum().power.size());
  const double peak = *std::max_element(batch.spectrum().power.begin(), batch.spectrum().power.end());
  for (std::size_t k = 0; k < batch.spectrum().power.size(); ++k)
    EXPECT_NEAR(online.spectrum().power[k], batch.spectrum().power[k], 1e-12 * peak) << "bin " << k;
  EXPECT_NEAR(online.spectrum().lfPower, batch.spectrum().lfPower, 1e-12 * batch.spectrum().lfPower);
  // The median while sampling is the histogram's estimate, within a bin of the sorted one.
  EXPECT_EQ(online.medianRR, online.rrHistogram.median_estimate());
  EXPECT_NEAR(online.medianRR, batch.medianRR, online.rrHistogram.binWidth);
}

}  // namespace
}  // namespace HRV
