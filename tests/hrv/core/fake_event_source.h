// SPDX-License-Identifier: MIT
// An in-memory host document holding beat records, for driving AnalysisResults without a
// host. It keeps the event reader's contract: events in order of record then tick, handed
// out in small batches, S_FALSE once nothing more is available, and, while the test keeps
// appending beats to the last record as if the host were sampling, a reader with an open
// end that returns the new beats on its next Read.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "hrv/engine/fiducial_event.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/document_data.h"

namespace test_support {

// The fiducial channel every fake reader serves; any other channel has no events.
inline constexpr ChannelId kFiducialChannel{7, 0x04};

struct FakeRecord {
  double startTime = 0.0;        // s, on the document's time axis
  double sampleInterval = 0.001; // s
  std::int32_t length = 0;       // ticks recorded so far
  std::vector<HRV::FiducialEvent> beats;  // in tick order
};

class FakeDocumentData final : public ComObject<IDocumentData> {
 public:
  std::vector<FakeRecord> records;
  ULONG batchLimit = 5;           // events per Read at most, so every reader sees many batches
  std::int32_t unreadableRecord = -1;  // OpenEventReader fails for a range starting in this record
  HRESULT openFailure = S_OK;     // when a failure, every OpenEventReader returns it
  int readersOpened = 0;

  FakeRecord& add_record(double startTime, double sampleInterval) {
    records.push_back({startTime, sampleInterval, 0, {}});
    return records.back();
  }

  // Appends beats to `record` at the given ticks, after its existing beats, filling rr,
  // deltaRR and rate from the ticks as the fiducial enumerator does: the record's first beat
  // has no rr, its second no deltaRR, and every beat with both is a normal included beat.
  // The record's data grow to just past the last beat, as while sampling.
  void append_beats(std::int32_t record, std::span<const std::int32_t> ticks) {
    FakeRecord& r = records.at(static_cast<std::size_t>(record));
    for (std::int32_t tick : ticks) {
      HRV::FiducialEvent e;
      e.tick = tick;
      e.beatNumber = ++beatNumber_;
      e.ff = 1.2;
      if (!r.beats.empty()) {
        const HRV::FiducialEvent& previous = r.beats.back();
        e.rr = (tick - previous.tick) * r.sampleInterval;
        e.rate = 1.0 / e.rr;
        if (!std::isnan(previous.rr)) e.deltaRR = e.rr - previous.rr;
      }
      e.flags = std::isnan(e.rr) ? HRV::ClassUnknown : std::isnan(e.deltaRR) ? HRV::UseRR : HRV::UseRR | HRV::UseDeltaRR;
      r.beats.push_back(e);
      r.length = std::max(r.length, tick + 1);
    }
  }

  // Appends beats at the given intervals (s) after the record's last beat (or its tick 0).
  void append_intervals(std::int32_t record, std::span<const double> intervals) {
    const FakeRecord& r = records.at(static_cast<std::size_t>(record));
    std::int32_t tick = r.beats.empty() ? 0 : r.beats.back().tick;
    std::vector<std::int32_t> ticks;
    for (double rr : intervals) {
      tick += static_cast<std::int32_t>(std::lround(rr / r.sampleInterval));
      ticks.push_back(tick);
    }
    append_beats(record, ticks);
  }

  TickPosition end_of_data() const {
    if (records.empty()) return {0, 0};
    return {records.back().length, static_cast<std::int32_t>(records.size() - 1)};
  }

  HRESULT GetRecordCount(std::int32_t* count) override {
    *count = static_cast<std::int32_t>(records.size());
    return S_OK;
  }
  HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) override {
    if (!valid(record)) return E_INVALIDARG;
    *ticks = records[static_cast<std::size_t>(record)].length;
    return S_OK;
  }
  HRESULT GetSampleInterval(std::int32_t record, ChannelId, double* seconds) override {
    if (!valid(record)) return E_INVALIDARG;
    *seconds = records[static_cast<std::size_t>(record)].sampleInterval;
    return S_OK;
  }
  HRESULT GetRecordStartTime(std::int32_t record, double* seconds) override {
    if (!valid(record)) return E_INVALIDARG;
    *seconds = records[static_cast<std::size_t>(record)].startTime;
    return S_OK;
  }
  HRESULT GetEndOfData(TickPosition* end) override {
    *end = end_of_data();
    return S_OK;
  }
  HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) override;

  // Not used by the analysis.
  HRESULT GetChannelCount(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT ChannelHasData(std::int32_t, ChannelId, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT GetChannelName(ChannelId, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetChannelUnit(ChannelId, BSTR*) override { return E_NOTIMPL; }
  HRESULT GetChannelColour(ChannelId, std::uint32_t*) override { return E_NOTIMPL; }
  HRESULT GetDocumentName(BSTR*) override { return E_NOTIMPL; }
  HRESULT IsSampling(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT GetSamplingStart(std::int32_t*, TickPosition*) override { return E_NOTIMPL; }
  HRESULT IsRegionValid(TickPosition, TickPosition, VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT IsChannelValid(ChannelId, std::int32_t, std::int32_t, VARIANT_BOOL*) override { return E_NOTIMPL; }

 private:
  bool valid(std::int32_t record) const { return record >= 0 && static_cast<std::size_t>(record) < records.size(); }

  std::int32_t beatNumber_ = 0;
};

class FakeEventReader final : public ComObject<IEventReader> {
 public:
  FakeEventReader(FakeDocumentData& doc, TickPosition from, TickPosition to)
      : doc_(ComPtr<FakeDocumentData>::retain(&doc)), next_(from), to_(to) {}

  HRESULT GetEventSize(ULONG* size) override {
    *size = sizeof(HRV::FiducialEvent);
    return S_OK;
  }

  HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) override {
    if (!buffer || !count) return E_POINTER;
    *count = 0;
    const ULONG limit = std::min(maxEvents, doc_->batchLimit);
    auto* out = static_cast<HRV::FiducialEvent*>(buffer);
    for (std::int32_t r = next_.record; r < static_cast<std::int32_t>(doc_->records.size()) && r <= to_.record; ++r) {
      for (const HRV::FiducialEvent& e : doc_->records[static_cast<std::size_t>(r)].beats) {
        const TickPosition at{e.tick, r};
        if (at < next_ || !(at < to_)) continue;
        if (*count == limit) return S_OK;  // the rest waits for the next Read
        std::memcpy(out + *count, &e, sizeof e);
        if (records) records[*count] = r;
        ++*count;
        next_ = {e.tick + 1, r};
      }
    }
    // Looked at everything there is: the resume point moves to the end of the data.
    next_ = std::max(next_, std::min(to_, doc_->end_of_data()));
    return *count > 0 ? S_OK : S_FALSE;
  }

  HRESULT GetPosition(TickPosition* position) override {
    *position = next_;
    return S_OK;
  }

 private:
  ComPtr<FakeDocumentData> doc_;
  TickPosition next_;
  TickPosition to_;
};

inline HRESULT FakeDocumentData::OpenEventReader(ChannelId channel, TickPosition from, TickPosition to,
                                                 IEventReader** reader) {
  if (!reader) return E_POINTER;
  *reader = nullptr;
  if (FAILED(openFailure)) return openFailure;
  if (!(channel == kFiducialChannel) || from.record == unreadableRecord) return E_INVALIDARG;
  ++readersOpened;
  *reader = make_com<FakeEventReader>(*this, from, to).detach();
  return S_OK;
}

}  // namespace test_support
