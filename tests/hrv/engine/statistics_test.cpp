// SPDX-License-Identifier: MIT
#include "hrv/engine/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "hrv/engine/beat_statistics.h"

namespace HRV {
namespace {

// A record holding the sums of the given included beats, built as the analysis builds
// them; rate is 1/RR.
BeatStatistics record_of(std::span<const double> rr, std::span<const double> delta) {
  BeatStatistics r;
  for (std::size_t i = 0; i < rr.size(); ++i) {
    const auto count = static_cast<std::uint32_t>(i + 1);
    r.rr.add(rr[i], count);
    r.deltaRR.add(delta[i], count);
    r.rate.add(1.0 / rr[i], count);
  }
  r.beatCount = static_cast<std::uint32_t>(rr.size());
  return r;
}

using Named = std::pair<const char*, double>;

// Sample standard deviation from the raw values, two passes in long double.
double two_pass_sd(std::span<const double> x) {
  long double mean = 0;
  for (double v : x) mean += v;
  mean /= x.size();
  long double m2 = 0;
  for (double v : x) m2 += (v - mean) * (v - mean);
  return static_cast<double>(std::sqrt(m2 / (x.size() - 1)));
}

TEST(Moments, CorrectedSumMatchesTwoPassSumsOnRRLikeData) {
  // RR intervals: a mean of 0.8 s dwarfs a spread of 0.03 s, where Σx² - (Σx)²/n would
  // lose about three of its digits.
  std::mt19937_64 gen(5);
  std::normal_distribution<double> rr(0.8, 0.03);
  std::vector<double> x(100000);
  for (double& v : x) v = rr(gen);
  Moments m;
  for (std::size_t i = 0; i < x.size(); ++i) m.add(x[i], static_cast<std::uint32_t>(i + 1));

  long double sum = 0, sumSquares = 0;
  for (double v : x) {
    sum += v;
    sumSquares += static_cast<long double>(v) * v;
  }
  long double m2 = 0;
  for (double v : x) m2 += (v - sum / x.size()) * (v - sum / x.size());
  // Plain double sums of 100,000 terms carry ~1e-13 relative rounding.
  EXPECT_NEAR(m.sum, static_cast<double>(sum), 1e-12 * static_cast<double>(sum));
  EXPECT_NEAR(m.sumSquares, static_cast<double>(sumSquares), 1e-12 * static_cast<double>(sumSquares));
  EXPECT_NEAR(m.corrected, static_cast<double>(m2), 1e-10 * static_cast<double>(m2));
}

TEST(Statistics, MeanRateAveragesTheInstantaneousRates) {
  const std::vector<double> rr{0.5, 1.0}, delta{0.0, 0.5};
  const BeatStatistics r = record_of(rr, delta);
  EXPECT_DOUBLE_EQ(MeanRate(r), 90.0);  // 60 × (2 + 1) / 2, not 60 / 0.75 = 80
  EXPECT_DOUBLE_EQ(MeanRR(r), 0.75);
}

TEST(Statistics, SpreadsUseTheirOwnDivisors) {
  const std::vector<double> rr{0.8, 0.9, 1.0, 0.7, 0.85}, delta{0.01, 0.1, 0.1, -0.3, 0.15};
  const BeatStatistics r = record_of(rr, delta);
  std::vector<double> rate;
  for (double x : rr) rate.push_back(1.0 / x);
  // Running sums against two-pass sums of five values: agreement to a few ulps.
  const double tol = 1e-14;
  EXPECT_NEAR(SDRR(r), two_pass_sd(rr), tol);                            // divisor n - 1
  EXPECT_NEAR(SDSD(r), two_pass_sd(delta), tol);                         // about the mean, n - 1
  EXPECT_NEAR(SDRate(r), 60.0 * two_pass_sd(rate), 60.0 * tol);          // beats per minute
  EXPECT_NEAR(RMSSD(r), std::sqrt((1e-4 + 0.01 + 0.01 + 0.09 + 0.0225) / 5), tol);  // divisor n, not about the mean
  EXPECT_NEAR(SD1(r), two_pass_sd(delta) / std::sqrt(2.0), tol);
  const double sdrr = two_pass_sd(rr), sdsd = two_pass_sd(delta);
  EXPECT_NEAR(SD2(r), std::sqrt(2 * sdrr * sdrr - 0.5 * sdsd * sdsd), tol);
  EXPECT_NEAR(CVRR(r), two_pass_sd(rr) / 0.85, tol);
}

// Means need a beat, spreads and the statistics of successive differences two; equal
// beats have a spread of 0.
TEST(Statistics, TooFewBeatsLeaveStatisticsUndefinedAndSayWhyEqualBeatsGiveZeros) {
  const std::vector<double> equal{1.0, 1.0, 1.0}, zeros{0.0, 0.0, 0.0}, rr{0.9}, delta{-0.02};
  const BeatStatistics none, one = record_of(rr, delta), same = record_of(equal, zeros);
  for (auto [name, value] : {Named{"mean RR", MeanRR(none)}, {"median RR", MedianRR(none)}, {"mean rate", MeanRate(none)},
                             {"CVRR", CVRR(none)}, {"SDRR of one", SDRR(one)}, {"SDSD of one", SDSD(one)},
                             {"SD rate of one", SDRate(one)}, {"SD1 of one", SD1(one)}, {"SD2 of one", SD2(one)},
                             {"CVRR of one", CVRR(one)}, {"RMSSD of one", RMSSD(one)}, {"pRRx of one", PRRx(one)},
                             {"SDARR of one", SDARR(one)}})
    EXPECT_TRUE(std::isnan(value)) << name << " = " << value;
  for (auto [name, value] : {Named{"SDRR", SDRR(same)}, {"SDSD", SDSD(same)}, {"RMSSD", RMSSD(same)}, {"SD1", SD1(same)},
                             {"SD2", SD2(same)}, {"CVRR", CVRR(same)}, {"SD rate", SDRate(same)}, {"pRRx", PRRx(same)}})
    EXPECT_EQ(value, 0.0) << name;
  EXPECT_EQ(MeanRR(one), 0.9);
  // The reason names what is missing.
  EXPECT_EQ(std::string(WhyUndefined(none, Needs::SD2Variance)), "no analysed beats");
  EXPECT_EQ(std::string(WhyUndefined(one, Needs::SD2Variance)), WhyUndefined(one, Needs::TwoBeats));
  EXPECT_NE(std::string(WhyUndefined(same, Needs::SD2Variance)), WhyUndefined(one, Needs::TwoBeats));
}

TEST(Statistics, SD2IsNaNWhenTheSuccessiveDifferencesOutweighTheSpread) {
  const std::vector<double> rr{0.8, 0.81, 0.8, 0.81}, delta{0.3, -0.3, 0.3, -0.3};
  EXPECT_TRUE(std::isnan(SD2(record_of(rr, delta))));
}

TEST(Statistics, SDARRIsTheSpreadOfTheGroupMeans) {
  BeatStatistics r;
  r.groups.groupCount = 1;
  r.groups.means.add(0.8, 1);
  EXPECT_TRUE(std::isnan(SDARR(r)));  // one group: no spread to speak of
  r.groups.groupCount = 3;
  r.groups.means.add(0.9, 2);
  r.groups.means.add(1.0, 3);
  EXPECT_NEAR(SDARR(r), 0.1, 1e-15);
}

TEST(SpectralValues, DeriveShareNormalisedUnitsAndRatioFromTheBandsWithoutGuarding) {
  PowerSpectrum s;
  s.totalPower = 10.0, s.vlfPower = 2.0, s.lfPower = 3.0, s.hfPower = 4.0;
  EXPECT_DOUBLE_EQ(VLFPercent(s), 20.0);
  EXPECT_DOUBLE_EQ(LFPercent(s), 30.0);
  EXPECT_DOUBLE_EQ(HFPercent(s), 40.0);
  EXPECT_DOUBLE_EQ(LFnu(s), 37.5);  // 100 × 3 / (10 - 2)
  EXPECT_DOUBLE_EQ(HFnu(s), 50.0);
  EXPECT_DOUBLE_EQ(LFHFRatio(s), 0.75);
  const PowerSpectrum empty;  // one beat: no spectrum, all powers 0
  EXPECT_TRUE(std::isnan(VLFPercent(empty)) && std::isnan(LFnu(empty)) && std::isnan(LFHFRatio(empty)));
  s.totalPower = s.vlfPower = s.lfPower = 1.0, s.hfPower = 0.0;
  EXPECT_TRUE(std::isinf(LFHFRatio(s)) && std::isinf(LFnu(s)));
}

}  // namespace
}  // namespace HRV
