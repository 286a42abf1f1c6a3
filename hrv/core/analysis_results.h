// SPDX-License-Identifier: MIT
// AnalysisResults: everything one analysis knows about its beats, as one plain record. It
// holds sums and counts, not finished statistics: statistics.h derives every statistic from
// them, so the report, the Tabulet functions and the views agree by construction. It also
// keeps the series of included beats that the spectrum and the plots read.
//
// The beats come from the host's event reader over the fiducial channel. Either all at once
// (Recalculate), or while the host samples, batch by batch as they arrive (StartOnline,
// AddOnlineBeats, StopOnline), when every statistic is updated in constant time per beat
// and only the spectrum is recomputed in full.
//
// A beat is included when it carries both UseRR and UseDeltaRR; an included beat is normal
// with class code 0, ectopic otherwise. Beats without an RR or a delta-RR take part in
// nothing; other beats that are not included only give a classifier point.
#pragma once

#include <cstdint>
#include <vector>

#include "hrv/core/fiducial_event.h"
#include "hrv/core/group_averager.h"
#include "hrv/core/plot_point.h"
#include "hrv/core/lomb_scargle.h"
#include "hrv/core/recalc_mask.h"
#include "hrv/core/settings_fields.h"
#include "hrv/core/statistics.h"
#include "hrv/core/value_histogram.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/channel_id.h"
#include "sdk/host/document_data.h"
#include "sdk/tick_position.h"

namespace HRV {

class AnalysisResults {
 public:
  ValueHistogram rrHistogram;       // RR, s
  ValueHistogram deltaRRHistogram;  // delta-RR, s
  Moments rr;                       // RR of the included beats, s
  Moments deltaRR;                  // delta-RR of the included beats, s
  Moments rate;                     // rate 1/RR of the included beats, Hz
  std::uint32_t beatCount = 0;      // n: included beats
  std::uint32_t overThresholdCount = 0;  // included beats with |delta-RR| > threshold
  double threshold = 0.05;          // s (the pRR threshold setting)
  double medianRR = 0.0;            // s
  GroupAverager groups;             // SDARR
  PowerSpectrum spectrum;
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

  // Empties the series, point lists and histograms, zeroes sums and counts, and sets the
  // extents to NaN. Also forgets where a later incremental analysis would resume.
  void Reset();

  // Recomputes what `mask` selects (RecalcMask bits) and returns the number of included
  // beats. With a RecalcCollect bit it first resets and reads the beats of the settings'
  // analysis region from `data` over `fiducialChannel`; without one it works on the stored
  // series (`data` may then be null), e.g. only the threshold count after the pRR threshold
  // changed. A mask without any of the low 24 bits, or any mask while online, does nothing
  // and returns 0. Failures of the host that leave nothing to read throw HResultError.
  std::uint32_t Recalculate(std::uint32_t mask, IDocumentData* data, const SettingsFields& settings,
                            ChannelId fiducialChannel);

  // Starts the incremental analysis while the host samples: takes the fixed histogram bin
  // width (no automatic width while sampling) and the pRR threshold, sets up the spectrum
  // grid and the SDARR boundary, and opens an event reader over the region from where the
  // last analysis stopped reading (the region start after Reset) to the region's end. The
  // failure result of the host when the reader cannot be opened; S_FALSE when already online.
  HRESULT StartOnline(IDocumentData* data, const SettingsFields& settings, ChannelId fiducialChannel);

  // Folds in every event the reader has now. S_OK when at least one beat was added, S_FALSE
  // when none was (or the analysis is not online).
  HRESULT AddOnlineBeats();

  // Folds in the pending events, closes the open SDARR group when the host's data reach its
  // end, releases the reader and leaves the online state. The result of the last
  // AddOnlineBeats; S_FALSE when not online.
  HRESULT StopOnline();

  bool online() const noexcept { return online_; }

 private:
  // Where the host's time axis puts a tick of a record, for the fiducial channel; asks the
  // host once per record. `data` must outlive it.
  class TimeBase {
   public:
    TimeBase() = default;
    TimeBase(IDocumentData* data, ChannelId channel) noexcept : data_(data), channel_(channel) {}
    double time_of(TickPosition position);

   private:
    IDocumentData* data_ = nullptr;
    ChannelId channel_;
    std::int32_t record_ = TickPosition::kUnset;
    double recordStart_ = 0.0;
    double sampleInterval_ = 0.0;
  };

  // What one event contributed.
  enum class Taken {
    Nothing,     // no position, RR or delta-RR: takes part in nothing
    Classified,  // a classifier point only
    Included,    // also a Poincaré point, the series values and a class count
  };

  void collect(IDocumentData* data, const SettingsFields& settings, ChannelId channel);
  Taken take(const FiducialEvent& event, std::int32_t record, TimeBase& times);
  void compute_moments();
  void build_histograms(const SettingsFields& settings);
  void count_over_threshold();
  void update_spectrum(std::uint32_t mask, const SettingsFields& settings);
  // The constant-time updates for the beat just appended to the series while online.
  void fold_in_last_beat();

  ComPtr<IDocumentData> data_;  // the host data while online
  ComPtr<IEventReader> reader_;
  SettingsFields settings_;
  TimeBase timeBase_;  // over data_ while online
  bool online_ = false;
  TickPosition resume_ = TickPosition::unset();  // where the next incremental analysis reads from
};

}  // namespace HRV
