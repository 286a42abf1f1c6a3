// SPDX-License-Identifier: MIT
#include "statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "beat_statistics.h"
#include "lomb_scargle.h"

namespace HRV {

namespace {

// Sample variance M2 / (n - 1); undefined below two values.
double sample_variance(double corrected, std::uint32_t n) noexcept { return n < 2 ? kUndefinedStatistic : corrected / (n - 1); }

}  // namespace

void Moments::add(double x, std::uint32_t count) noexcept {
  if (count <= 1) {
    sum = x;
    sumSquares = x * x;
    corrected = 0.0;
    return;
  }
  const double meanBefore = sum / (count - 1);
  sum += x;
  const double meanAfter = sum / count;
  sumSquares += x * x;
  corrected += (x - meanAfter) * (x - meanBefore);
}

double MeanRR(const BeatStatistics& r) noexcept { return r.beatCount == 0 ? kUndefinedStatistic : r.rr.sum / r.beatCount; }

double MedianRR(const BeatStatistics& r) noexcept { return r.beatCount == 0 ? kUndefinedStatistic : r.medianRR; }

double SDRR(const BeatStatistics& r) noexcept { return std::sqrt(sample_variance(r.rr.corrected, r.beatCount)); }

double CVRR(const BeatStatistics& r) noexcept { return SDRR(r) / MeanRR(r); }

double MeanRate(const BeatStatistics& r) noexcept {
  return r.beatCount == 0 ? kUndefinedStatistic : 60.0 * r.rate.sum / r.beatCount;
}

double SDRate(const BeatStatistics& r) noexcept {
  return 60.0 * std::sqrt(sample_variance(r.rate.corrected, r.beatCount));
}

double SDSD(const BeatStatistics& r) noexcept {
  return std::sqrt(sample_variance(r.deltaRR.corrected, r.beatCount));
}

double RMSSD(const BeatStatistics& r) noexcept {
  return r.beatCount < 2 ? kUndefinedStatistic : std::sqrt(r.deltaRR.sumSquares / r.beatCount);
}

double PRRx(const BeatStatistics& r) noexcept {
  return r.beatCount < 2 ? kUndefinedStatistic : 100.0 * r.overThresholdCount / r.beatCount;
}

double SD1(const BeatStatistics& r) noexcept {
  return std::sqrt(0.5) * std::sqrt(sample_variance(r.deltaRR.corrected, r.beatCount));
}

double SD2(const BeatStatistics& r) noexcept {
  const double varRR = sample_variance(r.rr.corrected, r.beatCount);
  const double varDelta = sample_variance(r.deltaRR.corrected, r.beatCount);
  return std::sqrt(2.0 * varRR - 0.5 * varDelta);
}

double SDARR(const BeatStatistics& r) noexcept {
  return std::sqrt(sample_variance(r.groups.means.corrected, r.groups.groupCount));
}

const char* WhyUndefined(const BeatStatistics& r, Needs needs) noexcept {
  if (r.beatCount == 0) return "no analysed beats";
  switch (needs) {
    case Needs::OneBeat: break;
    case Needs::TwoBeats: return "one analysed beat; it needs two";
    case Needs::TwoSdarrGroups: return "it needs two complete SDARR periods with beats";
    case Needs::Spectrum: return "no spectrum: it needs two analysed beats";
    case Needs::SD2Variance:
      return r.beatCount < 2 ? WhyUndefined(r, Needs::TwoBeats)
                             : "the delta-RR variance outweighs the RR variance (2 var RR < var dRR / 2)";
    case Needs::PowerDenominator: return HasSpectrum(r) ? "its denominator power is 0" : WhyUndefined(r, Needs::Spectrum);
  }
  return "undefined";
}

bool HasSpectrum(const BeatStatistics& r) { return r.beatCount >= 2 && !r.spectrum().power.empty(); }

double IncludedCoverage(const BeatStatistics& r) noexcept {
  const double span = r.endTime - r.startTime;
  return span > 0.0 && r.beatCount > 0 ? std::min(1.0, r.rr.sum / span) : 0.0;
}

std::vector<std::string> Warnings(const BeatStatistics& r) {
  std::vector<std::string> warnings;
  const double coverage = IncludedCoverage(r);
  if (HasSpectrum(r) && coverage < 0.5) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "the band powers come from analysed beats that cover only %.0f %% of the analysed %.0f s; "
                  "they describe fragments, not the whole recording",
                  100.0 * coverage, r.endTime - r.startTime);
    warnings.emplace_back(text);
  }
  return warnings;
}

std::uint32_t TotalBeats(const BeatStatistics& r) noexcept { return r.normalCount + r.ectopicCount; }
std::uint32_t NormalBeats(const BeatStatistics& r) noexcept { return r.normalCount; }
std::uint32_t EctopicBeats(const BeatStatistics& r) noexcept { return r.ectopicCount; }

double VLFPercent(const PowerSpectrum& s) noexcept { return 100.0 * s.vlfPower / s.totalPower; }
double LFPercent(const PowerSpectrum& s) noexcept { return 100.0 * s.lfPower / s.totalPower; }
double HFPercent(const PowerSpectrum& s) noexcept { return 100.0 * s.hfPower / s.totalPower; }
double LFnu(const PowerSpectrum& s) noexcept { return 100.0 * s.lfPower / (s.totalPower - s.vlfPower); }
double HFnu(const PowerSpectrum& s) noexcept { return 100.0 * s.hfPower / (s.totalPower - s.vlfPower); }
double LFHFRatio(const PowerSpectrum& s) noexcept { return s.lfPower / s.hfPower; }

}  // namespace HRV
