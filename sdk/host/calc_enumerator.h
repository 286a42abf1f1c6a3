// SPDX-License-Identifier: MIT
// Calculation enumerators: functions that an extension adds to the host's expression
// language. The host evaluates an expression such as "fiducial(HRV_vLPF,HRV_vDET,...)",
// builds the extension's enumerator from its class description, binds the channel inputs
// and reads the enumerator's events record by record, in buffers of fixed-size records.
//
// Order of calls on one enumerator: for every record in which the inputs hold data, in
// increasing record order, BindInputs (the inputs of that record) then StartRecord, then
// any number of ReadEvents
// while the record's inputs grow; Find, GetCurrentEvent and GetPosition at any time after
// StartRecord. All calls come on the host's user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/host/chart.h"
#include "sdk/strings.h"
#include "sdk/unknown.h"

struct CalcParameterRange {
  double min;
  double max;
};

// Channel inputs have the range (0, 0); the range table ends with (-1, -1).
inline constexpr CalcParameterRange kCalcRangeEnd{-1.0, -1.0};

// What a parameter of an enumerator function takes.
enum CalcParameterKind : std::uint32_t {
  kCalcNumber = 0,        // a numeric constant, checked against the parameter's range
  kCalcSampledInput = 1,  // a sampled channel (an ISampledInput)
  kCalcEventInput = 2,    // an event channel (an IEventInput)
};

// What an enumerator class tells the host. All pointers stay valid while the class object
// lives.
struct CalcEnumeratorDescription {
  const char16_t* name;                   // class name, e.g. u"HRVFiducialEnum"
  const char16_t* description;            // shown to the user
  const char16_t* functionName;           // name in expressions (case-insensitive)
  const char16_t* const* parameterNames;  // parameterCount names, in call order
  const CalcParameterKind* parameterKinds;  // parameterCount kinds, in call order
  std::uint32_t parameterCount;
  const CalcParameterRange* ranges;       // parameterCount ranges, then kCalcRangeEnd
  const char16_t* outputName;
  std::uint32_t flags;                    // class flags, passed through by the host
  std::uint32_t eventSize;                // bytes per event record, at least 8
};

// Every event record, the host's own and every enumerator's, begins with these fields.
// The host's own event channels (the peak detector's, for example) carry exactly this
// record: the tick of the event and a fraction of 0.
struct CalcEventHeader {
  std::int32_t tick;  // within the record being enumerated
  float fraction;     // sub-sample offset added to tick
};
static_assert(sizeof(CalcEventHeader) == 8);
static_assert(offsetof(CalcEventHeader, tick) == 0);
static_assert(offsetof(CalcEventHeader, fraction) == 4);

// A sampled channel input, seen within one record. Implemented by the host.
struct ISampledInput : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C060}");

  virtual HRESULT GetSampleInterval(double* seconds) = 0;
  // Ticks [0, end) are available and final (out); `complete` (out) says the record will
  // not grow. Both grow between calls while the host samples.
  virtual HRESULT GetAvailable(std::int32_t* end, VARIANT_BOOL* complete) = 0;
  // Copies samples [from, from + count) clipped to what is available into `samples` (out,
  // room for `count`); `got` (out) receives the number copied (0 when `from` is at or past
  // the available end). E_INVALIDARG for a negative `from` or `count`.
  virtual HRESULT ReadSamples(std::int32_t from, std::int32_t count, float* samples, std::int32_t* got) = 0;

 protected:
  ~ISampledInput() = default;
};

// An event channel input: a cursor over the events of one record, in tick order.
// Implemented by the host; each input has its own cursor.
struct IEventInput : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C061}");

  // Moves the cursor to the first event at or after `tick`.
  virtual HRESULT Seek(std::int32_t tick) = 0;
  // S_OK and the current event's tick (out), or S_FALSE when no event is available at the
  // cursor yet (see IsAtEnd).
  virtual HRESULT GetCurrent(std::int32_t* tick) = 0;
  // Copies the current event's whole record (GetEventSize bytes) into `event` (out); S_FALSE
  // when there is no current event.
  virtual HRESULT GetCurrentEvent(void* event) = 0;
  // Size of the input's event records in bytes (8 for the host's own events).
  virtual HRESULT GetEventSize(std::uint32_t* size) = 0;
  // Moves past the current event; S_FALSE when there was none.
  virtual HRESULT Advance() = 0;
  // The tick up to which the input has looked for events (out): no event before it is
  // still to come.
  virtual HRESULT GetPosition(std::int32_t* tick) = 0;
  // VARIANT_TRUE (out) when the record holds no further event after the cursor, now or later.
  virtual HRESULT IsAtEnd(VARIANT_BOOL* atEnd) = 0;

 protected:
  ~IEventInput() = default;
};

// The inputs of one enumerator within one record, and the services of the document it runs
// in. Implemented by the host.
struct ICalcInputs : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C062}");

  // `index` counts all of the call's parameters from 0, numbers included; `input` (out).
  // E_INVALIDARG when that parameter is not a sampled (respectively event) channel.
  // GetEventInput hands out a new cursor, at the record's first event, on every call.
  virtual HRESULT GetSampledInput(std::uint32_t index, ISampledInput** input) = 0;
  virtual HRESULT GetEventInput(std::uint32_t index, IEventInput** input) = 0;
  // The chart data of the document (out), where extensions keep their child objects: the
  // same children as the document's own IChartData, through an object of its own.
  virtual HRESULT GetChartData(IChartData** chartData) = 0;

 protected:
  ~ICalcInputs() = default;
};

// StartRecord's `mode`: whether the record was complete when its enumeration started.
inline constexpr std::int32_t kCalcRecordComplete = 0;
inline constexpr std::int32_t kCalcRecordGrowing = 1;

// One evaluation of an enumerator function. Implemented by the extension.
struct ICalcEnumerator : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C063}");

  // Binds the channel inputs of the record that the next StartRecord names (`inputs` in;
  // the enumerator may keep it). E_INVALIDARG when an input is of the wrong kind.
  virtual HRESULT BindInputs(ICalcInputs* inputs) = 0;
  // Starts enumerating `record`, whose inputs have `sampleInterval` seconds; `mode` is
  // kCalcRecordComplete or kCalcRecordGrowing and is passed on to the record scans.
  virtual HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) = 0;
  // Fills `buffer` (out, room for `maxEvents` × GetEventSize bytes) with the next events in
  // tick order; `count` (out) the number written; `nextTick` (out) the tick up to which the
  // enumerator has looked: no event before it is still to come. S_OK when at least one
  // event was written, S_FALSE when none is available now. While the record grows a later
  // read may yield more; once the inputs are complete, S_FALSE means the record is done.
  virtual HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) = 0;
  // Finds the first event at or after `from` (forwards) or the last event at or before
  // `from` (backwards) within [low, high) of the current record; S_OK makes it current,
  // S_FALSE when none. Independent of the ReadEvents position.
  virtual HRESULT Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) = 0;
  // The current event (out, one event record); S_FALSE when there is none.
  virtual HRESULT GetCurrentEvent(void* event) = 0;
  // Tick of the current event, or where the last search ended (out).
  virtual HRESULT GetPosition(std::int32_t* tick) = 0;
  virtual HRESULT GetEventSize(std::uint32_t* size) = 0;
  // An independent cursor in the same state, bound to the same inputs (out).
  virtual HRESULT Clone(ICalcEnumerator** copy) = 0;

 protected:
  ~ICalcEnumerator() = default;
};

// The class object of an enumerator. Implemented by the extension; registered with the
// host's class-object registry (it answers IClassObjectInfo as well), which indexes it by
// its function name.
struct ICalcEnumeratorClass : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C064}");

  // `description` (out) points into the class object.
  virtual HRESULT GetDescription(const CalcEnumeratorDescription** description) = 0;
  // Creates an enumerator (out) from the numeric parameters, given as text: the values in
  // call order (channel inputs left out), separated by single spaces, each in the shortest
  // decimal form that reads back to the same double ("C" locale, e.g. "0.08 0 2147480000"),
  // after the host has checked the ranges. E_INVALIDARG when the text is not acceptable.
  virtual HRESULT CreateEnumerator(const char16_t* parameters, ICalcEnumerator** enumerator) = 0;

 protected:
  ~ICalcEnumeratorClass() = default;
};
