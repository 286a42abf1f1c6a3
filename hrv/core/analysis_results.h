// SPDX-License-Identifier: MIT
// AnalysisResults: the engine's BeatStatistics fed from the host. The beats come from the
// host's event reader over the fiducial channel, either all at once (Recalculate), or while
// the host samples, batch by batch as they arrive (StartOnline, AddOnlineBeats,
// StopOnline).
#pragma once

#include <cstdint>

#include "hrv/core/settings_fields.h"
#include "hrv/engine/beat_statistics.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/channel_id.h"
#include "sdk/host/document_data.h"
#include "sdk/tick_position.h"

namespace HRV {

// The statistics settings of a settings record.
StatisticsOptions statistics_options(const SettingsFields& settings) noexcept;

class AnalysisResults : public BeatStatistics {
 public:
  // BeatStatistics::Reset, and forgets where a later incremental analysis would resume.
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
    // The sample interval of the record time_of last asked about, s.
    double sample_interval() const noexcept { return sampleInterval_; }

   private:
    IDocumentData* data_ = nullptr;
    ChannelId channel_;
    std::int32_t record_ = TickPosition::kUnset;
    double recordStart_ = 0.0;
    double sampleInterval_ = 0.0;
  };

  void collect(IDocumentData* data, const SettingsFields& settings, ChannelId channel);
  Taken take(const FiducialEvent& event, std::int32_t record, TimeBase& times);

  ComPtr<IDocumentData> data_;  // the host data while online
  ComPtr<IEventReader> reader_;
  StatisticsOptions options_;
  TimeBase timeBase_;  // over data_ while online
  bool online_ = false;
  TickPosition resume_ = TickPosition::unset();  // where the next incremental analysis reads from
};

}  // namespace HRV
