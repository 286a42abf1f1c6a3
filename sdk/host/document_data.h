// SPDX-License-Identifier: MIT
// A host document's recorded data: records, channels, time base and sampling state.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/strings.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

struct IEventReader;

// Implemented by the host. All calls on the user-interface thread.
struct IDocumentData : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C010}");

  virtual HRESULT GetRecordCount(std::int32_t* count) = 0;
  // Number of ticks recorded so far in `record` (grows while sampling).
  virtual HRESULT GetRecordLength(std::int32_t record, std::int32_t* ticks) = 0;
  virtual HRESULT GetChannelCount(std::int32_t* count) = 0;
  // S_OK and VARIANT_TRUE when `channel` holds data in `record`.
  virtual HRESULT ChannelHasData(std::int32_t record, ChannelId channel, VARIANT_BOOL* hasData) = 0;
  // Sample interval of `channel` in `record`, seconds. Record 0x7FFFFFFE asks for the
  // interval the channel would have in a new record.
  virtual HRESULT GetSampleInterval(std::int32_t record, ChannelId channel, double* seconds) = 0;
  // Start of `record` in seconds on the document's one time axis.
  virtual HRESULT GetRecordStartTime(std::int32_t record, double* seconds) = 0;
  // The position after the last recorded sample.
  virtual HRESULT GetEndOfData(TickPosition* end) = 0;
  // Channel name and display unit (out, caller frees).
  virtual HRESULT GetChannelName(ChannelId channel, BSTR* name) = 0;
  virtual HRESULT GetChannelUnit(ChannelId channel, BSTR* unit) = 0;
  virtual HRESULT GetDocumentName(BSTR* name) = 0;

  virtual HRESULT IsSampling(VARIANT_BOOL* sampling) = 0;
  // Where the current (or next) sampling starts: a record, and a position in it when the
  // host knows one (record 0x7FFFFFFF otherwise).
  virtual HRESULT GetSamplingStart(std::int32_t* record, TickPosition* position) = 0;
  // Whether the positions still address recorded data, and whether `channel` still exists
  // over the records from `start` to `end`.
  virtual HRESULT IsRegionValid(TickPosition start, TickPosition end, VARIANT_BOOL* valid) = 0;
  virtual HRESULT IsChannelValid(ChannelId channel, std::int32_t firstRecord, std::int32_t lastRecord, VARIANT_BOOL* valid) = 0;

  // Opens a reader over the events of `channel` from `from` (inclusive) to `to` (exclusive;
  // the open end reads whatever arrives while sampling). `reader` (out).
  virtual HRESULT OpenEventReader(ChannelId channel, TickPosition from, TickPosition to, IEventReader** reader) = 0;

 protected:
  ~IDocumentData() = default;
};

// Reads a channel's events in batches, in order. Implemented by the host.
struct IEventReader : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C011}");

  // Size of one event record in bytes (80 for beats).
  virtual HRESULT GetEventSize(ULONG* size) = 0;
  // Copies up to `maxEvents` events into `buffer` (out, maxEvents × event size bytes) and
  // each event's record into `records` (out, may be null). `count` (out) receives the
  // number read. S_OK when at least one event was read, S_FALSE when no further event is
  // available now (while sampling, a later call may return more).
  virtual HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) = 0;
  // The position up to which the reader has looked (its resume point).
  virtual HRESULT GetPosition(TickPosition* position) = 0;

 protected:
  ~IEventReader() = default;
};
