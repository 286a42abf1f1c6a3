// SPDX-License-Identifier: MIT
#include "classifier_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace HRV {

namespace {

constexpr double kNeighbourTolerance = 0.15;  // relative RR change allowed to each neighbour
constexpr double kClusterSpread = 5.0;        // robust SDs from the median kept in the cluster
constexpr double kMadToSd = 1.4826;           // MAD of a normal distribution times this = its SD
constexpr double kTail = 0.005;               // quantiles that span the cluster
constexpr double kRRMargin = 0.10;            // of each RR edge
constexpr double kFFMarginOfMedian = 0.05;
constexpr double kFFMarginSpread = 3.0;       // robust SDs
constexpr int kMaximumRounds = 20;
constexpr double kMaxRRLimit = 60.0, kMaxFFLimit = 10.0;  // the settings' ranges

// Quantile p of `v` by linear interpolation between order statistics (the p (n - 1)-th
// value); `v` must not be empty and is reordered.
double quantile(std::vector<double>& v, double p) {
  std::sort(v.begin(), v.end());
  const double at = p * static_cast<double>(v.size() - 1);
  const auto i = static_cast<std::size_t>(at);
  if (i + 1 >= v.size()) return v.back();
  return v[i] + (at - static_cast<double>(i)) * (v[i + 1] - v[i]);
}

// Median and robust standard deviation (1.4826 MAD) of `v`, which must not be empty.
struct Location {
  double median;
  double spread;
};
Location locate(std::vector<double> v) {
  const double median = quantile(v, 0.5);
  for (double& x : v) x = std::abs(x - median);
  return {median, kMadToSd * quantile(v, 0.5)};
}

bool defined(const PlotPoint& p, bool waveform) { return std::isfinite(p.x) && p.x > 0 && (!waveform || std::isfinite(p.y)); }

bool similar(double rr, double previous) { return std::abs(rr - previous) <= kNeighbourTolerance * previous; }

}  // namespace

std::optional<ClassifierBox> FitClassifierBox(std::span<const PlotPoint> beats) {
  const bool waveform = std::any_of(beats.begin(), beats.end(), [](const PlotPoint& p) { return std::isfinite(p.y); });
  std::vector<std::size_t> regular;
  for (std::size_t i = 1; i + 1 < beats.size(); ++i)
    if (defined(beats[i - 1], waveform) && defined(beats[i], waveform) && defined(beats[i + 1], waveform) &&
        similar(beats[i].x, beats[i - 1].x) && similar(beats[i + 1].x, beats[i].x))
      regular.push_back(i);
  if (regular.size() < kFitMinimumRegularBeats) return std::nullopt;

  std::vector<std::size_t> cluster = regular;
  for (int round = 0; round < kMaximumRounds; ++round) {
    std::vector<double> logRR, ff;
    for (std::size_t i : cluster) {
      logRR.push_back(std::log(beats[i].x));
      ff.push_back(waveform ? beats[i].y : 0.0);
    }
    const Location r = locate(std::move(logRR)), f = locate(std::move(ff));
    std::vector<std::size_t> next;
    for (std::size_t i : regular)
      if (std::abs(std::log(beats[i].x) - r.median) <= kClusterSpread * r.spread &&
          (!waveform || std::abs(beats[i].y - f.median) <= kClusterSpread * f.spread))
        next.push_back(i);
    // A cluster too small to describe keeps the last one that was large enough.
    if (next.size() < kFitMinimumRegularBeats || next == cluster) break;
    cluster = std::move(next);
  }

  std::vector<double> rr, ff;
  for (std::size_t i : cluster) {
    rr.push_back(beats[i].x);
    ff.push_back(beats[i].y);
  }
  ClassifierBox box;
  box.minRR = std::clamp(quantile(rr, kTail) * (1.0 - kRRMargin), 0.0, kMaxRRLimit);
  box.maxRR = std::clamp(quantile(rr, 1.0 - kTail) * (1.0 + kRRMargin), 0.0, kMaxRRLimit);
  if (!waveform) {  // imported beats: FF plays no part, the box spans its whole range
    box.minFF = 0.0;
    box.maxFF = kMaxFFLimit;
    return box;
  }
  const Location f = locate(ff);
  const double ffMargin = std::max(kFFMarginOfMedian * std::abs(f.median), kFFMarginSpread * f.spread);
  box.minFF = std::clamp(quantile(ff, kTail) - ffMargin, 0.0, kMaxFFLimit);
  box.maxFF = std::clamp(quantile(ff, 1.0 - kTail) + ffMargin, 0.0, kMaxFFLimit);
  return box;
}

}  // namespace HRV
