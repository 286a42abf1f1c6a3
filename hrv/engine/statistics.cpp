// SPDX-License-Identifier: MIT
#include "statistics.h"

#include <cmath>

#include "beat_statistics.h"
#include "lomb_scargle.h"

namespace HRV {

namespace {

// Sample variance M2 / (n - 1); 0 below two values.
double sample_variance(double corrected, std::uint32_t n) noexcept { return n < 2 ? 0.0 : corrected / (n - 1); }

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

double MeanRR(const BeatStatistics& r) noexcept { return r.beatCount == 0 ? 0.0 : r.rr.sum / r.beatCount; }

double MedianRR(const BeatStatistics& r) noexcept { return r.medianRR; }

double SDRR(const BeatStatistics& r) noexcept { return std::sqrt(sample_variance(r.rr.corrected, r.beatCount)); }

double CVRR(const BeatStatistics& r) noexcept { return SDRR(r) / MeanRR(r); }

double MeanRate(const BeatStatistics& r) noexcept {
  return r.beatCount == 0 ? 0.0 : 60.0 * r.rate.sum / r.beatCount;
}

double SDRate(const BeatStatistics& r) noexcept {
  return 60.0 * std::sqrt(sample_variance(r.rate.corrected, r.beatCount));
}

double SDSD(const BeatStatistics& r) noexcept {
  return std::sqrt(sample_variance(r.deltaRR.corrected, r.beatCount));
}

double RMSSD(const BeatStatistics& r) noexcept {
  return r.beatCount == 0 ? 0.0 : std::sqrt(r.deltaRR.sumSquares / r.beatCount);
}

double PRRx(const BeatStatistics& r) noexcept {
  return r.beatCount == 0 ? 0.0 : 100.0 * r.overThresholdCount / r.beatCount;
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
