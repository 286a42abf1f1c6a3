// SPDX-License-Identifier: MIT
// The HRV statistics, each derived from the sums that BeatStatistics keeps. Every consumer
// (report, Tabulet functions, views) calls these, so they agree by construction. Inside the
// analysis everything is SI: intervals in seconds, rates in hertz, powers in s²; a function
// that returns another unit says so. n is the number of included beats and M2x the
// corrected sum of squares Σ(x - mean)² of series x over them.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace HRV {

class BeatStatistics;
struct PowerSpectrum;

// Σx, Σx² and M2 = Σ(x - mean)² of a series, built one value at a time by the running-mean
// rule. M2 is not taken as Σx² - (Σx)²/n: for RR intervals the mean dwarfs the spread and
// that difference loses most of its digits.
struct Moments {
  double sum = 0.0;
  double sumSquares = 0.0;
  double corrected = 0.0;  // M2

  // Folds in x as the count-th value (count includes x, so it is at least 1).
  void add(double x, std::uint32_t count) noexcept;
};

// Undefined values are NaN (kUndefinedStatistic); WhyUndefined says why. A mean needs one
// included beat; a spread (n − 1 divisor) and the statistics of successive differences
// (RMSSD, pRRx: one difference says nothing of its variability) need two; SDARR needs two
// SDARR groups.
inline constexpr double kUndefinedStatistic = std::numeric_limits<double>::quiet_NaN();

// Time domain.
double MeanRR(const BeatStatistics& r) noexcept;    // s: ΣRR / n
double MedianRR(const BeatStatistics& r) noexcept;  // s: the stored median (sorted batch, histogram estimate online)
double SDRR(const BeatStatistics& r) noexcept;      // s: sqrt(M2RR / (n - 1))
double CVRR(const BeatStatistics& r) noexcept;      // ratio SDRR / MeanRR
// Beats per minute: 60 × Σrate / n, the mean of the instantaneous rates 1/RR (not
// 60 / MeanRR).
double MeanRate(const BeatStatistics& r) noexcept;
double SDRate(const BeatStatistics& r) noexcept;  // beats per minute: 60 × sqrt(M2rate / (n - 1))
double SDSD(const BeatStatistics& r) noexcept;    // s: sqrt(M2deltaRR / (n - 1))
double RMSSD(const BeatStatistics& r) noexcept;   // s: sqrt(ΣdeltaRR² / n), divisor n
// Percent of included beats with |deltaRR| above the threshold: 100 × count / n.
double PRRx(const BeatStatistics& r) noexcept;

// Poincaré plot.
double SD1(const BeatStatistics& r) noexcept;  // s: SDSD / √2
// s: sqrt(2·M2RR/(n-1) - 0.5·M2deltaRR/(n-1)); also NaN when the difference is negative.
double SD2(const BeatStatistics& r) noexcept;

// s: sqrt(M2 of the SDARR group means / (g - 1)), g the number of groups.
double SDARR(const BeatStatistics& r) noexcept;

// What a statistic needs to be defined: beats, SDARR groups, a spectrum; SD2 also a
// non-negative variance estimate, a share or ratio of powers also a denominator above 0.
enum class Needs { OneBeat, TwoBeats, TwoSdarrGroups, Spectrum, SD2Variance, PowerDenominator };
// Why a statistic that needs `needs` is undefined (NaN) over `r`: "no analysed beats", ...
// The reason for a statistic that has a value is meaningless.
const char* WhyUndefined(const BeatStatistics& r, Needs needs) noexcept;

// Whether the spectrum was computed: two included beats at least.
bool HasSpectrum(const BeatStatistics& r);
// The share of the analysis region (endTime − startTime) that the included beats' RR
// intervals cover, 0..1: ΣRR / region length; 0 for an empty region.
double IncludedCoverage(const BeatStatistics& r) noexcept;

// Warnings about how far the results can be trusted, as sentences: the band powers when the
// included beats cover less than half of the analysis region.
std::vector<std::string> Warnings(const BeatStatistics& r);

// Beat counts, of included beats only.
std::uint32_t TotalBeats(const BeatStatistics& r) noexcept;  // normal + ectopic
std::uint32_t NormalBeats(const BeatStatistics& r) noexcept;
std::uint32_t EctopicBeats(const BeatStatistics& r) noexcept;

// Frequency domain, from the band powers. No guard: a zero denominator gives infinity or
// NaN, which is shown as such.
double VLFPercent(const PowerSpectrum& s) noexcept;  // percent: 100 × VLF / total
double LFPercent(const PowerSpectrum& s) noexcept;   // percent: 100 × LF / total
double HFPercent(const PowerSpectrum& s) noexcept;   // percent: 100 × HF / total
double LFnu(const PowerSpectrum& s) noexcept;        // normalised units: 100 × LF / (total - VLF)
double HFnu(const PowerSpectrum& s) noexcept;        // normalised units: 100 × HF / (total - VLF)
double LFHFRatio(const PowerSpectrum& s) noexcept;   // ratio LF / HF

}  // namespace HRV
