// SPDX-License-Identifier: MIT
// What the probe extension offers the tests: the ids it registers under and its document,
// which lives among the host's services, uses them only through their interfaces, and keeps
// a journal of every host call on it.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/unknown.h"

namespace probe {

// Module family of the probe's type ids (its module id is the high half) and its classes.
inline constexpr GUID kProbeFamily = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F01}");
inline constexpr GUID kDocumentClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F20}");
// Classes of the document's two persisted items: 0 a note (text), 1 a counter.
inline constexpr GUID kNoteClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F21}");
inline constexpr GUID kCounterClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F22}");
// The macro command "PRB Probe_Count": message number kCountMessage. Commands are module
// id << 16 | one of these.
inline constexpr std::uint16_t kCountMessage = 0x100;
enum Command : std::uint16_t {
  kCommandCount = 1,    // "Probe|Count": sends the macro message; enabled with a range selection
  kCommandToggle = 2,   // "Probe|Sub|Toggle": flips a check mark
  kCommandReport = 3,   // "Probe|Sub|Report": anchored at "analyse"; its text shows the count
  kCommandViews = 4,    // "Probe|Views|": a native popup with entries 41 and 42
  kCommandOpenView = 5, // "Probe|Open": asks the host for a view of type 1, which no class offers
};

struct IProbeDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F23}");

  // One line per host call, oldest first, '\n' after each (out); the journal empties.
  virtual HRESULT TakeJournal(BSTR* journal) = 0;
  // Persisted item 0's text; setting it marks the item dirty.
  virtual HRESULT SetNote(const char16_t* text) = 0;
  virtual HRESULT GetNote(BSTR* text) = 0;
  // Persisted item 1: how often the count message arrived (out).
  virtual HRESULT GetCount(std::int32_t* count) = 0;
  // Whether CanStartSampling allows sampling.
  virtual HRESULT AllowSampling(VARIANT_BOOL allow) = 0;

 protected:
  ~IProbeDocument() = default;
};

}  // namespace probe
