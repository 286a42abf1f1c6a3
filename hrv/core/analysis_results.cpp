// SPDX-License-Identifier: MIT
#include "hrv/core/analysis_results.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sdk/cpp/hresult_error.h"

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

// pRRx counts differences strictly beyond the threshold; one equal to it does not count.
bool over_threshold(double deltaRR, double threshold) noexcept { return std::abs(deltaRR) > threshold; }

std::uint32_t frequency_count(const SettingsFields& s) noexcept {
  return s.FrequencyCount > 0 ? static_cast<std::uint32_t>(s.FrequencyCount) : 0;
}

}  // namespace

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
  rrHistogram.clear(0.0);
  deltaRRHistogram.clear(0.0);
  rr = deltaRR = rate = Moments{};
  beatCount = 0;
  overThresholdCount = 0;
  medianRR = 0.0;
  groups.clear(groups.groupLength);
  spectrum = PowerSpectrum{};
  poincarePoints.clear();
  classifierPoints.clear();
  minRR = maxRR = minFF = maxFF = std::numeric_limits<double>::quiet_NaN();
  normalCount = ectopicCount = 0;
  rrSeries.clear();
  deltaRRSeries.clear();
  rateSeries.clear();
  timeSeries.clear();
  startTime = endTime = 0.0;
  resume_ = TickPosition::unset();
}

std::uint32_t AnalysisResults::Recalculate(std::uint32_t mask, IDocumentData* data, const SettingsFields& settings,
                                           ChannelId fiducialChannel) {
  if ((mask & RecalcAnyResult) == 0 || online_) return 0;
  if (mask & RecalcCollect) collect(data, settings, fiducialChannel);
  if (mask & RecalcAnyCount) beatCount = static_cast<std::uint32_t>(rrSeries.size());
  if (mask & RecalcMoments) compute_moments();
  if (mask & RecalcHistograms) build_histograms(settings);
  if (mask & RecalcThreshold) {
    threshold = settings.PRRThresholdSec;
    count_over_threshold();
    medianRR = sorted_median(rrSeries);
  }
  if (mask & RecalcAnyGroups) {
    GroupAverager counted = GroupAverager::over(timeSeries, rrSeries, startTime, endTime, settings.SDARRPeriodSec);
    if (!(mask & RecalcGroups)) counted.means = groups.means;  // recount only
    groups = counted;
  }
  if (mask & RecalcAnySpectrum) update_spectrum(mask, settings);
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
  if (e.tick == FiducialEvent::kEmptyTick || std::isnan(e.rr) || std::isnan(e.deltaRR)) return Taken::Nothing;
  classifierPoints.push_back({e.rr, e.ff, e.beatNumber, e.tick, record});
  widen(minRR, maxRR, e.rr);
  widen(minFF, maxFF, e.ff);
  if (!e.included()) return Taken::Classified;

  poincarePoints.push_back({e.rr - e.deltaRR, e.rr, e.beatNumber, e.tick, record});
  rrSeries.push_back(e.rr);
  deltaRRSeries.push_back(e.deltaRR);
  rateSeries.push_back(e.rate);
  timeSeries.push_back(times.time_of({e.tick, record}));
  ++(e.class_code() == 0 ? normalCount : ectopicCount);
  return Taken::Included;
}

void AnalysisResults::compute_moments() {
  rr = deltaRR = rate = Moments{};
  for (std::size_t i = 0; i < rrSeries.size(); ++i) {
    const auto count = static_cast<std::uint32_t>(i + 1);
    rr.add(rrSeries[i], count);
    deltaRR.add(deltaRRSeries[i], count);
    rate.add(rateSeries[i], count);
  }
}

void AnalysisResults::build_histograms(const SettingsFields& settings) {
  double rrWidth = settings.BinWidthSec;
  double deltaWidth = settings.BinWidthSec;
  if (settings.AutoBinWidth) {
    rrWidth = scott_bin_width(SDRR(*this), beatCount);
    deltaWidth = scott_bin_width(SDSD(*this), beatCount);
  }
  rrHistogram.build(rrSeries, rrWidth);
  deltaRRHistogram.build(deltaRRSeries, deltaWidth);
}

void AnalysisResults::count_over_threshold() {
  overThresholdCount = static_cast<std::uint32_t>(
      std::count_if(deltaRRSeries.begin(), deltaRRSeries.end(), [&](double d) { return over_threshold(d, threshold); }));
}

void AnalysisResults::update_spectrum(std::uint32_t mask, const SettingsFields& settings) {
  if (rrSeries.size() < 2) return;  // the powers keep their values (0 after a reset)
  const double duration = timeSeries.back() - timeSeries.front();
  if ((mask & RecalcSpectrum) && LombScargle(static_cast<std::uint32_t>(settings.WindowFunction), rrSeries, timeSeries,
                                             spectrum, frequency_count(settings), settings.MaxFrequencyHz))
    spectrum.totalPower = BandPower(spectrum, 0.0, settings.MaxFrequencyHz, duration);
  if (mask & RecalcBands) {
    spectrum.vlfPower = BandPower(spectrum, settings.VLFLowHz, settings.VLFHighHz, duration);
    spectrum.lfPower = BandPower(spectrum, settings.LFLowHz, settings.LFHighHz, duration);
    spectrum.hfPower = BandPower(spectrum, settings.HFLowHz, settings.HFHighHz, duration);
  }
}

HRESULT AnalysisResults::StartOnline(IDocumentData* data, const SettingsFields& settings, ChannelId fiducialChannel) {
  if (online_) return S_FALSE;
  return guard([&] {
    if (!data) return E_POINTER;
    if (!settings.region_set()) return HRV_E_NO_ANALYSIS;
    TimeBase times(data, fiducialChannel);
    const TickPosition from = resume_.is_set() ? resume_ : settings.region_start();
    const double regionStart = times.time_of(settings.region_start());
    const double now = times.time_of(from);
    HRESULT failure = E_FAIL;
    ComPtr<IEventReader> reader = open_beat_reader(*data, fiducialChannel, from, settings.region_end(), &failure);
    if (!reader) return failure;

    data_ = ComPtr<IDocumentData>::retain(data);
    reader_ = reader;
    settings_ = settings;
    timeBase_ = times;
    startTime = regionStart;
    // The automatic width needs every value in advance, so sampling uses the fixed one;
    // beats already held are binned again in case the width changed.
    rrHistogram.clear(settings.BinWidthSec);
    rrHistogram.build(rrSeries, settings.BinWidthSec);
    deltaRRHistogram.clear(settings.BinWidthSec);
    deltaRRHistogram.build(deltaRRSeries, settings.BinWidthSec);
    threshold = settings.PRRThresholdSec;
    count_over_threshold();
    set_up_grid(spectrum, frequency_count(settings), settings.MaxFrequencyHz);
    // The first boundary lies one group length past the current time, or where the groups
    // of an earlier analysis left it, moved on past the current time.
    groups.groupLength = settings.SDARRPeriodSec;
    if (groups.boundary == 0.0) groups.boundary = now;
    groups.advance_past(now);
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
        fold_in_last_beat();
      }
    });
    // Nothing can look at the results between two beats of one batch, so the median and
    // the spectrum are brought up to date once, after the last.
    if (includedAny) {
      medianRR = rrHistogram.median_estimate();
      update_spectrum(RecalcSpectrum | RecalcBands, settings_);
    }
    return added ? S_OK : S_FALSE;
  });
}

void AnalysisResults::fold_in_last_beat() {
  const double x = rrSeries.back(), d = deltaRRSeries.back(), r = rateSeries.back(), t = timeSeries.back();
  ++beatCount;
  rr.add(x, beatCount);
  deltaRR.add(d, beatCount);
  rate.add(r, beatCount);
  rrHistogram.insert(x);
  deltaRRHistogram.insert(d);
  if (over_threshold(d, threshold)) ++overThresholdCount;
  groups.add(t, x);
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
