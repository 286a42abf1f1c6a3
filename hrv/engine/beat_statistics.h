// SPDX-License-Identifier: MIT
// BeatStatistics: everything one analysis knows about its beats, as one plain record. It
// holds sums and counts, not finished statistics: statistics.h derives every statistic from
// them, so the report, the Tabulet functions and the views agree by construction. It also
// keeps the series of included beats that the spectrum and the plots read.
//
// Beats arrive one at a time through Take, in beat order; Recompute then brings what a
// RecalcMask selects up to date over the stored series. While the host samples, every
// statistic is instead updated in constant time per beat (FoldInLastBeat) and only the
// spectrum is recomputed in full: when it is next read, so that a run of batches nobody
// looks at in between costs one periodogram, not one a batch.
//
// A beat is included when it carries both UseRR and UseDeltaRR; an included beat is normal
// with class code 0, ectopic otherwise. Beats without an RR or a delta-RR take part in
// nothing; other beats that are not included only give a classifier point.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "fiducial_event.h"
#include "group_averager.h"
#include "lomb_scargle.h"
#include "plot_point.h"
#include "recalc_mask.h"
#include "sample_grid.h"
#include "statistics.h"
#include "value_histogram.h"

namespace HRV {

// The settings the statistics and the spectrum depend on (SI units).
struct StatisticsOptions {
  double binWidth = 0.01;        // histogram bin width, s
  bool autoBinWidth = false;     // Scott's rule instead of binWidth (not while sampling)
  double prrThreshold = 0.05;    // pRRx threshold, s
  double sdarrPeriod = 300.0;    // SDARR group length, s
  std::uint32_t window = 5;      // spectrum taper code
  std::uint32_t frequencies = 500;
  double maxFrequency = 0.5;     // Hz
  double vlfLow = 0.0, vlfHigh = 0.04, lfLow = 0.04, lfHigh = 0.15, hfLow = 0.15, hfHigh = 0.45;  // Hz
};

class BeatStatistics {
 public:
  ValueHistogram rrHistogram;       // RR, s
  ValueHistogram deltaRRHistogram;  // delta-RR, s
  Moments rr;                       // RR of the included beats, s
  Moments deltaRR;                  // delta-RR of the included beats, s
  Moments rate;                     // rate 1/RR of the included beats, Hz
  std::uint32_t beatCount = 0;      // n: included beats
  std::uint32_t overThresholdCount = 0;  // included beats with |delta-RR| > threshold
  double threshold = 0.05;          // s (the pRR threshold setting)
  SampleGrid grid;                  // the beats' sampling grid, on which threshold ties are decided
  double medianRR = 0.0;            // s
  GroupAverager groups;             // SDARR
  std::vector<PlotPoint> poincarePoints;    // per included beat: (RR - delta-RR, RR), s
  std::vector<PlotPoint> classifierPoints;  // per classified beat: (RR s, FF)
  // Extents of the classifier points, RR in s. A new record holds the default classifier
  // box; Reset makes them NaN, and a NaN extent takes the first value seen.
  double minRR = 0.8;
  double maxRR = 1.2;
  double minFF = 1.0;
  double maxFF = 1.5;
  std::uint32_t normalCount = 0;   // included beats with class code 0
  std::uint32_t ectopicCount = 0;  // included beats with another class code
  // The included beats in beat order; all four have the same length.
  std::vector<double> rrSeries;       // s
  std::vector<double> deltaRRSeries;  // s
  std::vector<double> rateSeries;     // Hz
  std::vector<double> timeSeries;     // s, on the host's time axis
  double startTime = 0.0;  // s: the analysis region's start on the same axis (the SDARR origin)
  double endTime = 0.0;    // s: the region's end, or the end of the data it reached

  // What one beat contributed.
  enum class Taken {
    Nothing,     // no position, RR or delta-RR: takes part in nothing
    Classified,  // a classifier point only
    Included,    // also a Poincaré point, the series values and a class count
  };

  // Empties the series, point lists and histograms, zeroes sums and counts, and sets the
  // extents to NaN.
  void Reset();

  // Adds a beat of `record` to the point lists and, when included, to the series;
  // `time_of(tick, record)` gives its time in seconds and is asked only for included beats.
  template <class TimeOf>
  Taken Take(const FiducialEvent& e, std::int32_t record, TimeOf&& time_of);

  // Recomputes what `mask` (RecalcMask bits other than RecalcCollect) selects over the
  // stored series.
  void Recompute(std::uint32_t mask, const StatisticsOptions& options);

  // Prepares the constant-time updates while the host samples: fixed bin width, threshold,
  // spectrum grid, and the SDARR boundary placed past `now` (s).
  void StartIncremental(const StatisticsOptions& options, double now);
  // The constant-time updates for the beat just appended to the series.
  void FoldInLastBeat();
  // Brings the median estimate up to date after a batch of beats; the spectrum and band
  // powers follow when next read, computed with `options`.
  void FinishBatch(const StatisticsOptions& options);

  // The periodogram and band powers of the included beats, brought up to date first when a
  // batch of beats is not in them yet. Whoever reads them sees what recomputing after every
  // batch would have given.
  const PowerSpectrum& spectrum() const;
  PowerSpectrum& spectrum() { return const_cast<PowerSpectrum&>(std::as_const(*this).spectrum()); }

 private:
  void compute_moments();
  void build_histograms(const StatisticsOptions& options);
  void count_over_threshold();
  void update_spectrum(std::uint32_t mask, const StatisticsOptions& options) const;

  mutable PowerSpectrum spectrum_;
  mutable bool spectrumBehind_ = false;  // a batch of beats is not in spectrum_ yet
  StatisticsOptions spectrumOptions_;   // what the batch's spectrum is to be computed with
  void add_classifier_point(const FiducialEvent& e, std::int32_t record);
  void add_included(const FiducialEvent& e, std::int32_t record, double time);
};

template <class TimeOf>
BeatStatistics::Taken BeatStatistics::Take(const FiducialEvent& e, std::int32_t record, TimeOf&& time_of) {
  if (e.tick == FiducialEvent::kEmptyTick || std::isnan(e.rr) || std::isnan(e.deltaRR)) return Taken::Nothing;
  add_classifier_point(e, record);
  if (!e.included()) return Taken::Classified;
  add_included(e, record, time_of(e.tick, record));
  return Taken::Included;
}

}  // namespace HRV
