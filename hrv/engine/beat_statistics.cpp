// SPDX-License-Identifier: MIT
#include "beat_statistics.h"

#include <algorithm>
#include <limits>

namespace HRV {

namespace {

// Widens [lo, hi] to hold v; a NaN bound takes v, a NaN value is ignored.
void widen(double& lo, double& hi, double v) noexcept {
  if (std::isnan(v)) return;
  lo = std::isnan(lo) ? v : std::min(lo, v);
  hi = std::isnan(hi) ? v : std::max(hi, v);
}

// Median of a copy: the middle value, or the mean of the two middle values for an even
// count; 0 when empty.
double sorted_median(std::vector<double> values) {
  const std::size_t n = values.size();
  if (n == 0) return 0.0;
  std::sort(values.begin(), values.end());
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[(n - 1) / 2] + values[n / 2]);
}

// pRRx counts differences strictly beyond the threshold; one equal to it in whole samples
// does not count.
bool over_threshold(double deltaRR, double threshold, const SampleGrid& grid) noexcept {
  return grid.above(std::abs(deltaRR), threshold);
}

}  // namespace

void BeatStatistics::Reset() {
  rrHistogram.clear(0.0);
  deltaRRHistogram.clear(0.0);
  rr = deltaRR = rate = Moments{};
  beatCount = 0;
  overThresholdCount = 0;
  medianRR = 0.0;
  groups.clear(groups.groupLength);
  spectrum_ = PowerSpectrum{};
  spectrumBehind_ = false;
  poincarePoints.clear();
  classifierPoints.clear();
  minRR = maxRR = minFF = maxFF = std::numeric_limits<double>::quiet_NaN();
  normalCount = ectopicCount = 0;
  rrSeries.clear();
  deltaRRSeries.clear();
  rateSeries.clear();
  timeSeries.clear();
  startTime = endTime = 0.0;
}

void BeatStatistics::add_classifier_point(const FiducialEvent& e, std::int32_t record) {
  classifierPoints.push_back({e.rr, e.ff, e.beatNumber, e.tick, record});
  widen(minRR, maxRR, e.rr);
  widen(minFF, maxFF, e.ff);
}

void BeatStatistics::add_included(const FiducialEvent& e, std::int32_t record, double time) {
  poincarePoints.push_back({e.rr - e.deltaRR, e.rr, e.beatNumber, e.tick, record});
  rrSeries.push_back(e.rr);
  deltaRRSeries.push_back(e.deltaRR);
  rateSeries.push_back(e.rate);
  timeSeries.push_back(time);
  ++(e.class_code() == 0 ? normalCount : ectopicCount);
}

void BeatStatistics::Recompute(std::uint32_t mask, const StatisticsOptions& options) {
  if (mask & RecalcAnyCount) beatCount = static_cast<std::uint32_t>(rrSeries.size());
  if (mask & RecalcMoments) compute_moments();
  if (mask & RecalcHistograms) build_histograms(options);
  if (mask & RecalcThreshold) {
    threshold = options.prrThreshold;
    count_over_threshold();
    medianRR = sorted_median(rrSeries);
  }
  if (mask & RecalcAnyGroups) {
    GroupAverager counted = GroupAverager::over(timeSeries, rrSeries, startTime, endTime, options.sdarrPeriod, grid);
    if (!(mask & RecalcGroups)) counted.means = groups.means;  // recount only
    groups = counted;
  }
  if (mask & RecalcAnySpectrum) update_spectrum(mask, options);
}

void BeatStatistics::compute_moments() {
  rr = deltaRR = rate = Moments{};
  for (std::size_t i = 0; i < rrSeries.size(); ++i) {
    const auto count = static_cast<std::uint32_t>(i + 1);
    rr.add(rrSeries[i], count);
    deltaRR.add(deltaRRSeries[i], count);
    rate.add(rateSeries[i], count);
  }
}

void BeatStatistics::build_histograms(const StatisticsOptions& options) {
  double rrWidth = options.binWidth;
  double deltaWidth = options.binWidth;
  if (options.autoBinWidth) {
    rrWidth = scott_bin_width(SDRR(*this), beatCount);
    deltaWidth = scott_bin_width(SDSD(*this), beatCount);
  }
  rrHistogram.build(rrSeries, rrWidth);
  deltaRRHistogram.build(deltaRRSeries, deltaWidth);
}

void BeatStatistics::count_over_threshold() {
  overThresholdCount = static_cast<std::uint32_t>(
      std::count_if(deltaRRSeries.begin(), deltaRRSeries.end(), [&](double d) { return over_threshold(d, threshold, grid); }));
}

void BeatStatistics::update_spectrum(std::uint32_t mask, const StatisticsOptions& o) const {
  // A batch's spectrum still owed is computed along, whatever the mask asks for.
  if (spectrumBehind_) mask |= RecalcSpectrum | RecalcBands;
  if (mask & RecalcSpectrum) spectrumBehind_ = false;
  if (rrSeries.size() < 2) return;  // the powers keep their values (0 after a reset)
  const double duration = timeSeries.back() - timeSeries.front();
  if ((mask & RecalcSpectrum) && LombScargle(o.window, rrSeries, timeSeries, spectrum_, o.frequencies, o.maxFrequency))
    spectrum_.totalPower = BandPower(spectrum_, 0.0, o.maxFrequency, duration);
  if (mask & RecalcBands) {
    spectrum_.vlfPower = BandPower(spectrum_, o.vlfLow, o.vlfHigh, duration);
    spectrum_.lfPower = BandPower(spectrum_, o.lfLow, o.lfHigh, duration);
    spectrum_.hfPower = BandPower(spectrum_, o.hfLow, o.hfHigh, duration);
  }
}

void BeatStatistics::StartIncremental(const StatisticsOptions& options, double now) {
  // The automatic width needs every value in advance, so sampling uses the fixed one;
  // beats already held are binned again in case the width changed.
  rrHistogram.clear(options.binWidth);
  rrHistogram.build(rrSeries, options.binWidth);
  deltaRRHistogram.clear(options.binWidth);
  deltaRRHistogram.build(deltaRRSeries, options.binWidth);
  threshold = options.prrThreshold;
  count_over_threshold();
  set_up_grid(spectrum_, options.frequencies, options.maxFrequency);
  // The first boundary lies one group length past the current time, or where the groups
  // of an earlier analysis left it, moved on past the current time.
  groups.groupLength = options.sdarrPeriod;
  groups.grid = grid;
  if (groups.boundary == 0.0) groups.boundary = now;
  groups.advance_past(now);
}

void BeatStatistics::FoldInLastBeat() {
  const double x = rrSeries.back(), d = deltaRRSeries.back(), r = rateSeries.back(), t = timeSeries.back();
  ++beatCount;
  rr.add(x, beatCount);
  deltaRR.add(d, beatCount);
  rate.add(r, beatCount);
  rrHistogram.insert(x);
  deltaRRHistogram.insert(d);
  if (over_threshold(d, threshold, grid)) ++overThresholdCount;
  groups.add(t, x);
}

void BeatStatistics::FinishBatch(const StatisticsOptions& options) {
  medianRR = rrHistogram.median_estimate();
  spectrumBehind_ = true;
  spectrumOptions_ = options;
}

const PowerSpectrum& BeatStatistics::spectrum() const {
  if (spectrumBehind_) update_spectrum(RecalcSpectrum | RecalcBands, spectrumOptions_);
  return spectrum_;
}

}  // namespace HRV
