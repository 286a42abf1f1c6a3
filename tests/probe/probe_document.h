// SPDX-License-Identifier: MIT
// The probe's document: an extension document that lives among the host's services and
// uses each of them only through its interfaces, keeping a journal of everything the host
// calls on it, so that tests can check orders and arguments.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/tick_position.h"
#include "sdk/unknown.h"

namespace probe {

inline constexpr GUID kDocumentClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F20}");
// Classes of the two persisted items: 0 a note (text), 1 a counter.
inline constexpr GUID kNoteClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F21}");
inline constexpr GUID kCounterClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F22}");
// The probe's view class (type id: module id << 16 | 1) and the category it registers in.
inline constexpr GUID kViewClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F24}");
inline constexpr GUID kViewCategory = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F25}");
// The Tabulet functions "ProbeCrossings" (events of the channel "Crossings" in the stretch,
// an integer) and "ProbeInterval" (their mean spacing in ms, "0.0###"); both need a probe
// document in the host document.
inline constexpr GUID kCrossingsFunctionClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F26}");
inline constexpr GUID kIntervalFunctionClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F27}");
// The channel calculation "Probe Scaled": Ch1 times a factor, with guide lines at plus and
// minus the factor when its settings ask for them. Settings stream: the item form of
// probe_items.h, its payload the factor (int32) and the guide-line flag (int32 0 or 1).
inline constexpr GUID kScaledClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F28}");
inline constexpr GUID kScaledSettingsClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F29}");
// The export "Probe Note Text File" (.txt): the document's note and a line break.
inline constexpr GUID kNoteExportClassId = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F2A}");
// The probe's plot: its series is registered under this data id and bound to a plotter of
// the plot's own id.
inline constexpr char16_t kPlotDataId[] = u"$Probe_Series";

// The macro command "Probe_Count" (prefix "PRB"): message number kCountMessage. Commands:
// module id of kProbeFamily << 16 | local number.
inline constexpr std::uint16_t kCountMessage = 0x100;
enum Command : std::uint16_t {
  kCommandCount = 1,    // "Probe|Count": sends the macro message; enabled with a selection
  kCommandToggle = 2,   // "Probe|Sub|Toggle": flips a check mark
  kCommandReport = 3,   // "Probe|Sub|Report": anchored at "analyse"; its text shows the count
  kCommandViews = 4,    // "Probe|Views|": a native popup with entries 41 and 42
  kCommandOpenView = 5, // "Probe|Open": asks the host to open the probe's view type 1
};

struct IProbeDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{6B0F3C52-7E0B-4D8A-9C11-0D7E2B9A4F23}");

  // One line per host call, oldest first, '\n' after each (out). TakeJournal empties it.
  virtual HRESULT TakeJournal(BSTR* journal) = 0;
  // Persisted item 0's text (in/out); setting it marks the item dirty.
  virtual HRESULT SetNote(const char16_t* text) = 0;
  virtual HRESULT GetNote(BSTR* text) = 0;
  // Persisted item 1: how often the count command ran.
  virtual HRESULT GetCount(std::int32_t* count) = 0;

  // The selection through the chart view: kind, start and end (out).
  virtual HRESULT ReadSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end) = 0;
  // Sets a range selection and shows its start.
  virtual HRESULT Select(TickPosition start, TickPosition end) = 0;
  // Takes the current selection as its analysis region: reports it to the analysis
  // manager's requests from now on, marks its analysis changed, and hands both persisted
  // items to the storage again.
  virtual HRESULT Analyse() = 0;
  // The region (out); unset after a clear.
  virtual HRESULT GetRegion(TickPosition* start, TickPosition* end) = 0;

  // Sampling: whether CanStartSampling allows (in), and the computed channel whose events
  // the sink reads as data arrives ("" for none).
  virtual HRESULT ConfigureSampling(VARIANT_BOOL allow, const char16_t* eventChannel) = 0;
  // Events of that channel read by the sink so far, over every sampling run (out).
  virtual HRESULT GetEventsSeen(std::uint32_t* count) = 0;

  // Asks the user through the application's message box; the button (out).
  virtual HRESULT Ask(const char16_t* text, std::int32_t* answer) = 0;

  // Opens a plot `plotId` through the host's plot service, registers its series and binds
  // it, and sends `markup` (in; quotes and line breaks are escaped for the script).
  virtual HRESULT OpenPlot(const char16_t* plotId, const char16_t* markup) = 0;
  // Appends `count` values to the series and tells the plot that data arrived.
  virtual HRESULT AppendPlotValues(const double* values, std::uint32_t count) = 0;
  // Asks the plot to copy itself; closes the plot.
  virtual HRESULT CopyPlot() = 0;
  virtual HRESULT ClosePlot() = 0;
  // Puts the note on the clipboard as text and as HTML.
  virtual HRESULT CopyNote() = 0;

 protected:
  ~IProbeDocument() = default;
};

}  // namespace probe
