// SPDX-License-Identifier: MIT
// What the probe extension offers the tests, besides its enumerator: the identifiers it
// registers under, its event record, and a client object through which the tests make the
// probe call the host's services from inside a loaded library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/host/chart.h"
#include "sdk/strings.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

namespace probe {

// Module family of the probe's type ids; its class ids and categories.
inline constexpr GUID kProbeFamily = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F01}");
inline constexpr GUID kThresholdClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F02}");
inline constexpr GUID kClientClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F03}");
inline constexpr GUID kProbeCategory = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F04}");

// Local number of the mask child's type id (module id of kProbeFamily in the high half).
inline constexpr std::uint16_t kMaskLocalType = 1;

// "probethreshold(Signal, Level)": one event per upward crossing of Level, at the first
// tick t > 0 with x[t-1] < Level <= x[t], unless the document's mask child holds t.
struct ThresholdEvent {
  std::int32_t tick;
  float fraction;       // always 0
  double value;         // x[t]
  std::int32_t record;  // the record StartRecord named
  std::uint32_t number; // crossings so far in the record, from 1
};
static_assert(sizeof(ThresholdEvent) == 24);
static_assert(offsetof(ThresholdEvent, tick) == 0);
static_assert(offsetof(ThresholdEvent, value) == 8);

// Created by the probe's client class object. Each method works only through the host
// interfaces that `document` (a host document) answers.
struct IProbeClient : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F10}");

  // Finds or creates computed channel `name`, gives it a new arithmetic calculation with
  // `expression` and sets its flag. On a refused expression returns the host's result and
  // its error text through `error` (out).
  virtual HRESULT Define(IUnknown* document, const char16_t* name, const char16_t* expression, BSTR* error) = 0;
  // Reads the events of channel `name` from `from` to `to` through an event reader, in
  // batches of `batch`, into `ticks` and `records` (room for `capacity`); `count` (out).
  // Checks on the way that ticks rise within a record and records never fall (E_UNEXPECTED
  // otherwise).
  virtual HRESULT Collect(IUnknown* document, const char16_t* name, TickPosition from, TickPosition to, std::uint32_t batch,
                          std::int32_t* ticks, std::int32_t* records, std::uint32_t capacity, std::uint32_t* count) = 0;
  // Adds `tick` to the mask child in the document's chart data, attaching the child first
  // when there is none.
  virtual HRESULT Mask(IUnknown* document, std::int32_t tick) = 0;
  // The document as the probe sees it through IDocumentData, one line per item:
  // "name <document name>", "records <n>", "record <r> <length> <interval> <start>" (numbers
  // as %.17g), "channel <c> <name> <unit> <colour as 6 hex digits>", "end <tick> <record>".
  virtual HRESULT Describe(IUnknown* document, BSTR* text) = 0;
  // Deletes computed channel `name` after clearing its flag.
  virtual HRESULT Remove(IUnknown* document, const char16_t* name) = 0;

 protected:
  ~IProbeClient() = default;
};

}  // namespace probe
