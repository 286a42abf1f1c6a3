// SPDX-License-Identifier: MIT
// The document's commands: their local numbers, the 32-bit ids built from the extension's
// module id, what each does when executed and when it is enabled, checked or retitled, and
// the type ids of the views the commands open.
#pragma once

#include <cstdint>

#include "sdk/guid.h"
#include "sdk/host/menus.h"
#include "sdk/tick_position.h"

namespace HRV {

class Document;

// Local numbers of the commands (low half of a command id).
enum CommandNumber : std::uint16_t {
  CmdSettings = 1,
  CmdClassifierView = 2,
  CmdReport = 3,
  CmdAnalysisPlots = 4,  // submenu; its native popup holds the five plot views
  CmdTachogram = 5,
  CmdRRHistogram = 6,
  CmdDeltaRRHistogram = 7,
  CmdPoincare = 8,
  CmdSpectrum = 9,
  CmdAddMarker = 10,
  CmdRemoveMarker = 11,
  CmdShowMarkers = 12,
  CmdAllBeatsNormal = 13,
  CmdUnused = 14,  // no menu item; shown disabled should a host ever ask
  CmdOnlineMode = 15,
  CmdReselect = 16,
  CmdClearAnalysis = 17,
  CmdAnalyse = 18,
  CmdFitClassifierBox = 19,
};

// Local numbers of the view types the extension registers (low half of a view type id).
enum ViewNumber : std::uint16_t {
  ViewTachogram = 1,
  ViewSpectrum = 2,
  ViewRRHistogram = 3,
  ViewDeltaRRHistogram = 4,
  ViewClassifier = 5,
  ViewPoincare = 6,
};

// The report view's type id comes from this family of the host, local number 0.
inline constexpr GUID kReportViewFamily = make_guid("{62B62191-A1AD-4304-A362-A926FFAF0819}");

// Ids built from the module ids the host assigned (asked once, then cached). Throw
// HResultError when the host gives no module id.
std::uint32_t command_id(CommandNumber number);
std::uint32_t view_type_id(ViewNumber number);
std::uint32_t report_view_type_id();

// ICommandTarget of a document, by command id. Results as ICommandTarget documents them;
// ids of other extensions are not this document's commands (S_FALSE).
HRESULT execute_command(Document& document, std::uint32_t commandId);
HRESULT update_command(Document& document, std::uint32_t commandId, ICommandUpdate& update);
HRESULT build_popup(std::uint32_t commandId, INativeMenu& menu);
HRESULT dispatch_popup(Document& document, std::uint32_t commandId, std::uint32_t itemId);

// The selection is a marker position (Add Beat Marker): a point, or a range one sample wide.
bool is_marker_position(std::uint32_t kind, TickPosition start, TickPosition end) noexcept;

}  // namespace HRV
