// SPDX-License-Identifier: MIT
// Calculation enumerators: functions that an extension adds to the host's expression
// language. The host evaluates an expression such as "fiducial(HRV_vLPF,HRV_vDET,...)",
// builds the extension's enumerator from its class description, binds the channel inputs
// and reads the enumerator's events record by record, in buffers of fixed-size records.
#pragma once

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

// What an enumerator class tells the host. All pointers stay valid while the class object
// lives.
struct CalcEnumeratorDescription {
  const char16_t* name;                   // class name, e.g. u"HRVFiducialEnum"
  const char16_t* description;            // shown to the user
  const char16_t* functionName;           // name in expressions (case-insensitive)
  const char16_t* const* parameterNames;  // parameterCount names, in call order
  std::uint32_t parameterCount;
  const CalcParameterRange* ranges;       // parameterCount ranges, then kCalcRangeEnd
  const char16_t* outputName;
  std::uint32_t flags;
  std::uint32_t eventSize;                // bytes per event record
};

// A sampled channel input, seen within the record being enumerated. Implemented by the host.
struct ISampledInput : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C060}");

  virtual HRESULT GetSampleInterval(double* seconds) = 0;
  // Ticks [0, end) are available and final; `complete` says the record will not grow.
  virtual HRESULT GetAvailable(std::int32_t* end, VARIANT_BOOL* complete) = 0;
  // Copies samples [from, from + count) clipped to what is available into `samples` (out);
  // `got` (out) receives the number copied.
  virtual HRESULT ReadSamples(std::int32_t from, std::int32_t count, float* samples, std::int32_t* got) = 0;

 protected:
  ~ISampledInput() = default;
};

// An event channel input: a cursor over the events of the record being enumerated.
// Implemented by the host.
struct IEventInput : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C061}");

  // Moves the cursor to the first event at or after `tick`.
  virtual HRESULT Seek(std::int32_t tick) = 0;
  // S_OK and the current event's tick, or S_FALSE when no event is available at the
  // cursor yet (see IsAtEnd).
  virtual HRESULT GetCurrent(std::int32_t* tick) = 0;
  virtual HRESULT Advance() = 0;
  // The tick up to which the input has looked for events: no event before it is missing.
  virtual HRESULT GetPosition(std::int32_t* tick) = 0;
  // VARIANT_TRUE when the record holds no further event, now or later.
  virtual HRESULT IsAtEnd(VARIANT_BOOL* atEnd) = 0;

 protected:
  ~IEventInput() = default;
};

// The inputs of one enumerator and the services of the document it runs in. Implemented by
// the host.
struct ICalcInputs : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C062}");

  // `index` counts the call's parameters; E_INVALIDARG when that parameter is not a
  // sampled (respectively event) channel.
  virtual HRESULT GetSampledInput(std::uint32_t index, ISampledInput** input) = 0;
  virtual HRESULT GetEventInput(std::uint32_t index, IEventInput** input) = 0;
  // The chart data of the document, where extensions keep their child objects.
  virtual HRESULT GetChartData(IChartData** chartData) = 0;

 protected:
  ~ICalcInputs() = default;
};

// One evaluation of an enumerator function. Implemented by the extension.
struct ICalcEnumerator : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C063}");

  // Binds the channel inputs; E_INVALIDARG when an input is of the wrong kind.
  virtual HRESULT BindInputs(ICalcInputs* inputs) = 0;
  // Starts enumerating `record`, whose inputs have `sampleInterval`; `mode` is passed on to
  // the record scans.
  virtual HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) = 0;
  // Fills `buffer` (out) with up to `maxEvents` events in tick order; `count` (out) the
  // number written; `nextTick` (out) where the next read continues. S_FALSE when the record
  // holds no further event now (while the record grows, a later read may yield more).
  virtual HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) = 0;
  // Finds the first event at or after `from` (forwards) or the last event at or before
  // `from` (backwards) within [low, high); S_OK makes it current, S_FALSE when none.
  virtual HRESULT Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) = 0;
  // The current event (out, one event record); S_FALSE when there is none.
  virtual HRESULT GetCurrentEvent(void* event) = 0;
  // Tick of the current event, or where the last search ended.
  virtual HRESULT GetPosition(std::int32_t* tick) = 0;
  virtual HRESULT GetEventSize(std::uint32_t* size) = 0;
  // An independent cursor in the same state (out).
  virtual HRESULT Clone(ICalcEnumerator** copy) = 0;

 protected:
  ~ICalcEnumerator() = default;
};

// The class object of an enumerator. Implemented by the extension.
struct ICalcEnumeratorClass : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C064}");

  // `description` (out) points into the class object.
  virtual HRESULT GetDescription(const CalcEnumeratorDescription** description) = 0;
  // Creates an enumerator from the numeric parameters, given as text: the values in call
  // order (channel inputs left out), separated by spaces, after the host applied the ranges.
  virtual HRESULT CreateEnumerator(const char16_t* parameters, ICalcEnumerator** enumerator) = 0;

 protected:
  ~ICalcEnumeratorClass() = default;
};
