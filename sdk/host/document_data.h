// SPDX-License-Identifier: MIT
// A host document's recorded data: records, channels, time base and sampling state.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

struct IEventReader;

// Implemented by the host. All calls on the user-interface thread. Channels are addressed
// by ChannelId: recorded channels by index 0..GetChannelCount()-1 with any kind whose low
// byte is not 4; computed channels (sdk/host/computed_channels.h) by the identity the host
// gave them, whose kind's low byte is 4. E_INVALIDARG for a channel or record that does not
// exist. The object that answers IDocumentData also answers IChartData (sdk/host/chart.h)
// for the document's chart data, IComputedChannels and IChannelCalculations
// (sdk/host/computed_channels.h).
struct IDocumentData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C010}");

  virtual HRESULT GetRecordCount(std::int32_t* count) = 0;
  // Number of ticks recorded so far in `record` (grows while sampling).
  virtual HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) = 0;
  // Number of recorded channels; computed channels are not counted.
  virtual HRESULT GetChannelCount(std::int32_t* count) = 0;
  // VARIANT_TRUE (out) when `channel` holds data in `record`; a computed channel holds data
  // where its expression can be evaluated.
  virtual HRESULT ChannelHasData(std::int32_t record, ChannelId channel, VARIANT_BOOL* hasData) = 0;
  // Sample interval of `channel` in `record`, seconds. Record 0x7FFFFFFE asks for the
  // interval the channel would have in a new record: that of the last record, or 0 with
  // S_FALSE before the first record.
  virtual HRESULT GetSampleInterval(std::int32_t record, ChannelId channel, double* seconds) = 0;
  // Start of `record` in seconds on the document's one time axis.
  virtual HRESULT GetRecordStartTime(std::int32_t record, double* seconds) = 0;
  // The position after the last recorded sample.
  virtual HRESULT GetEndOfData(TickPosition* end) = 0;
  // Channel name and display unit (out, caller frees).
  virtual HRESULT GetChannelName(ChannelId channel, BSTR* name) = 0;
  virtual HRESULT GetChannelUnit(ChannelId channel, BSTR* unit) = 0;
  // The colour the channel's trace is drawn in (out), 0x00RRGGBB.
  virtual HRESULT GetChannelColour(ChannelId channel, std::uint32_t* rgb) = 0;
  virtual HRESULT GetDocumentName(BSTR* name) = 0;

  virtual HRESULT IsSampling(VARIANT_BOOL* sampling) = 0;
  // Where the current (or next) sampling starts: a record, and a position in it when the
  // host knows one (record 0x7FFFFFFF otherwise).
  virtual HRESULT GetSamplingStart(std::int32_t* record, TickPosition* position) = 0;
  // Whether the positions still address recorded data (an end may be the open end or
  // record 0x7FFFFFFF, "to the end"), and whether `channel` still exists and
  // `firstRecord`..`lastRecord` (0x7FFFFFFF: to the last record) are recorded records.
  virtual HRESULT IsRegionValid(TickPosition start, TickPosition end, VARIANT_BOOL* valid) = 0;
  virtual HRESULT IsChannelValid(ChannelId channel, std::int32_t firstRecord, std::int32_t lastRecord, VARIANT_BOOL* valid) = 0;

  // Opens a reader over the events of `channel` (an event channel) from `from` (inclusive)
  // to `to` (exclusive; the open end, or record 0x7FFFFFFF, reads whatever arrives while
  // sampling). `reader` (out). E_INVALIDARG when the channel yields no events.
  virtual HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) = 0;

 protected:
  ~IDocumentData() = default;
};

// Reads a channel's events in batches, in order of record, then tick, evaluating the
// channel as far as the data reach. Implemented by the host.
struct IEventReader : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C011}");

  // Size of one event record in bytes (80 for beats, 8 for the host's own events; every
  // record begins with a CalcEventHeader, sdk/host/calc_enumerator.h).
  virtual HRESULT GetEventSize(ULONG* size) = 0;
  // Copies up to `maxEvents` events into `buffer` (out, maxEvents × event size bytes) and
  // each event's record into `records` (out, may be null). `count` (out) receives the
  // number read. S_OK when at least one event was read, S_FALSE when no further event is
  // available now (while sampling, a later call may return more).
  virtual HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) = 0;
  // The position up to which the reader has looked (out): its resume point. Every event
  // before it has been returned; while sampling it trails the end of the data by the
  // look-ahead of the channel's calculation.
  virtual HRESULT GetPosition(TickPosition* position) = 0;

 protected:
  ~IEventReader() = default;
};
