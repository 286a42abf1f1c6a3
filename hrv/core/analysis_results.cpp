// SPDX-License-Identifier: MIT
#include "hrv/core/analysis_results.h"

#include <algorithm>

#include "sdk/cpp/hresult_error.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {

namespace {

constexpr ULONG kReadBatch = 256;  // beat records asked of the host per Read

// Opens a reader over the beats of `channel` in [from, to); null when the host has none
// (a record without the channel's data, for instance).
ComPtr<IEventReader> open_beat_reader(IDocumentData& data, ChannelId channel, TickPosition from, TickPosition to,
                                      HRESULT* failure = nullptr) {
  ComPtr<IEventReader> reader;
  HRESULT hr = data.OpenEventReader(channel, from, to, reader.put());
  if (SUCCEEDED(hr) && !reader) hr = E_POINTER;
  if (SUCCEEDED(hr)) {
    ULONG size = 0;
    hr = reader->GetEventSize(&size);
    if (SUCCEEDED(hr) && size != sizeof(FiducialEvent)) hr = E_UNEXPECTED;  // not a channel of beat records
  }
  if (FAILED(hr)) {
    if (failure) *failure = hr;
    return nullptr;
  }
  return reader;
}

// Hands every event the reader has now to visit(event, record), in order, batch by batch.
template <class Visit>
void read_available(IEventReader& reader, Visit&& visit) {
  std::vector<FiducialEvent> batch(kReadBatch);
  std::vector<std::int32_t> records(kReadBatch);
  for (;;) {
    ULONG count = 0;
    const HRESULT hr = check_hresult(reader.Read(batch.data(), kReadBatch, records.data(), &count), "reading beats");
    if (hr != S_OK || count == 0) return;
    for (ULONG i = 0; i < std::min(count, kReadBatch); ++i) visit(batch[i], records[i]);
  }
}

}  // namespace

StatisticsOptions statistics_options(const SettingsFields& s) noexcept {
  StatisticsOptions o;
  o.binWidth = s.BinWidthSec;
  o.autoBinWidth = s.AutoBinWidth;
  o.prrThreshold = s.PRRThresholdSec;
  o.sdarrPeriod = s.SDARRPeriodSec;
  o.window = static_cast<std::uint32_t>(s.WindowFunction);
  o.frequencies = s.FrequencyCount > 0 ? static_cast<std::uint32_t>(s.FrequencyCount) : 0;
  o.maxFrequency = s.MaxFrequencyHz;
  o.vlfLow = s.VLFLowHz;
  o.vlfHigh = s.VLFHighHz;
  o.lfLow = s.LFLowHz;
  o.lfHigh = s.LFHighHz;
  o.hfLow = s.HFLowHz;
  o.hfHigh = s.HFHighHz;
  return o;
}

double AnalysisResults::TimeBase::time_of(TickPosition position) {
  if (position.record != record_) {
    if (!data_) throw_hresult(E_POINTER, "no host data for the beat times");
    check_hresult(data_->GetRecordStartTime(position.record, &recordStart_), "record start time");
    check_hresult(data_->GetSampleInterval(position.record, channel_, &sampleInterval_), "sample interval");
    record_ = position.record;
  }
  return recordStart_ + position.tick * sampleInterval_;
}

void AnalysisResults::Reset() {
  BeatStatistics::Reset();
  resume_ = TickPosition::unset();
}

std::uint32_t AnalysisResults::Recalculate(std::uint32_t mask, IDocumentData* data, const SettingsFields& settings,
                                           ChannelId fiducialChannel) {
  if ((mask & RecalcAnyResult) == 0 || online_) return 0;
  if (mask & RecalcCollect) collect(data, settings, fiducialChannel);
  Recompute(mask, statistics_options(settings));
  return static_cast<std::uint32_t>(rrSeries.size());
}

void AnalysisResults::collect(IDocumentData* data, const SettingsFields& settings, ChannelId channel) {
  Reset();
  if (!settings.region_set()) return;
  if (!data) throw_hresult(E_POINTER, "no host data to read the beats from");
  TimeBase times(data, channel);
  const TickPosition start = settings.region_start();
  TickPosition end = settings.region_end();
  if (end.record == TickPosition::kOpenEndRecord) check_hresult(data->GetEndOfData(&end), "end of data");
  startTime = times.time_of(start);
  grid = SampleGrid(times.sample_interval());
  endTime = times.time_of(end);

  std::int32_t recordCount = 0;
  check_hresult(data->GetRecordCount(&recordCount), "record count");
  const std::int32_t last = std::min(end.record, recordCount - 1);
  for (std::int32_t record = start.record; record <= last; ++record) {
    TickPosition to = end;
    if (record != end.record) {
      std::int32_t length = 0;
      check_hresult(data->GetRecordLength(record, &length), "record length");
      to = {length, record};
    }
    const TickPosition from = record == start.record ? start : TickPosition{0, record};
    // A record the host cannot read is passed over; the statistics cover what was read.
    ComPtr<IEventReader> reader = open_beat_reader(*data, channel, from, to);
    if (!reader) continue;
    read_available(*reader, [&](const FiducialEvent& e, std::int32_t r) { take(e, r, times); });
    reader->GetPosition(&resume_);
  }
}

AnalysisResults::Taken AnalysisResults::take(const FiducialEvent& e, std::int32_t record, TimeBase& times) {
  return Take(e, record, [&](std::int32_t tick, std::int32_t r) { return times.time_of({tick, r}); });
}

HRESULT AnalysisResults::StartOnline(IDocumentData* data, const SettingsFields& settings, ChannelId fiducialChannel) {
  if (online_) return S_FALSE;
  return guard([&] {
    if (!data) return E_POINTER;
    if (!settings.region_set()) return HRV_E_NO_ANALYSIS;
    TimeBase times(data, fiducialChannel);
    const TickPosition from = resume_.is_set() ? resume_ : settings.region_start();
    const double regionStart = times.time_of(settings.region_start());
    grid = SampleGrid(times.sample_interval());
    const double now = times.time_of(from);
    HRESULT failure = E_FAIL;
    ComPtr<IEventReader> reader = open_beat_reader(*data, fiducialChannel, from, settings.region_end(), &failure);
    if (!reader) return failure;

    data_ = ComPtr<IDocumentData>::retain(data);
    reader_ = reader;
    options_ = statistics_options(settings);
    timeBase_ = times;
    startTime = regionStart;
    StartIncremental(options_, now);
    online_ = true;
    return S_OK;
  });
}

HRESULT AnalysisResults::AddOnlineBeats() {
  if (!online_) return S_FALSE;
  return guard([&] {
    bool added = false, includedAny = false;
    read_available(*reader_, [&](const FiducialEvent& e, std::int32_t record) {
      const Taken taken = take(e, record, timeBase_);
      added |= taken != Taken::Nothing;
      if (taken == Taken::Included) {
        includedAny = true;
        FoldInLastBeat();
      }
    });
    // Nothing can look at the results between two beats of one batch, so the median is
    // brought up to date once, after the last (and the spectrum when it is next read).
    if (includedAny) FinishBatch(options_);
    return added ? S_OK : S_FALSE;
  });
}

HRESULT AnalysisResults::StopOnline() {
  if (!online_) return S_FALSE;
  HRESULT result = AddOnlineBeats();
  const HRESULT closing = guard([&] {
    TickPosition end;
    check_hresult(data_->GetEndOfData(&end), "end of data");
    endTime = timeBase_.time_of(end);
    groups.close_if_complete(endTime);
    check_hresult(reader_->GetPosition(&resume_), "reader position");
    return S_OK;
  });
  reader_.reset();
  data_.reset();
  timeBase_ = TimeBase();
  online_ = false;
  return FAILED(closing) ? closing : result;
}

}  // namespace HRV
