// SPDX-License-Identifier: MIT
#include "hrv/host/commands.h"

#include <string>

#include "hrv/core/document.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "hrv/host/macro_messages.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint16_t kAnalyseChannelText = 83;
constexpr std::uint16_t kAnalyseSelectionText = 84;

std::uint16_t own_module_id() { return HostContext::instance().module_id(GUID_HRVDocumentObj); }

// The check mark shows when the flag's byte, masked with 3, is 1.
void set_check(ICommandUpdate& update, bool flag) { update.SetCheck(static_cast<std::uint8_t>(flag) & 3u, 3u); }

bool open_for_edits(const Document& d) { return d.region_set() && !d.host_sampling(); }

template <ViewNumber view>
void open_view(Document& d) {
  d.OpenView(view_type_id(view));
}

template <MacroNumber number>
void send_macro(Document& d) {
  d.SendMacroMessage(number);
}

void enabled(Document&, ICommandUpdate& u) { u.SetEnabled(VARIANT_TRUE); }
void disabled(Document&, ICommandUpdate& u) { u.SetEnabled(VARIANT_FALSE); }
void enabled_unless_sampling(Document& d, ICommandUpdate& u) { u.SetEnabled(to_variant_bool(!d.host_sampling())); }
void enabled_with_region(Document& d, ICommandUpdate& u) { u.SetEnabled(to_variant_bool(open_for_edits(d))); }

void update_add_marker(Document& d, ICommandUpdate& u) {
  bool on = open_for_edits(d);
  if (on) {
    const Document::Selection s = d.selection();
    on = is_marker_position(s.kind, s.start, s.end);
  }
  u.SetEnabled(to_variant_bool(on));
}

void update_remove_marker(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(open_for_edits(d) && d.selection().kind == kSelectionRange));
}

void update_show_markers(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(!d.host_sampling()));
  set_check(u, d.settings().ShowMarkers);
}

void update_all_beats_normal(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(open_for_edits(d) && d.extents_known()));
}

// Beats without a waveform have no FF extents, but a box can be fitted to their RR.
void update_fit_box(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(open_for_edits(d) && !d.results().classifierPoints.empty()));
}

void update_online_mode(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(d.can_sample()));
  set_check(u, d.settings().OnlineMode);
}

void update_analyse(Document& d, ICommandUpdate& u) {
  u.SetEnabled(to_variant_bool(!d.host_sampling()));
  const std::u16string text = utf8_to_utf16(LoadString(d.settings().AnalyseSelection ? kAnalyseSelectionText : kAnalyseChannelText));
  u.SetText(text.c_str());
}

struct CommandHandlers {
  CommandNumber number;
  void (*execute)(Document&);                   // null: nothing to execute
  void (*update)(Document&, ICommandUpdate&);   // null: the host shows the item enabled
};

// The handler table, fixed before any document exists. The view items of the Analysis
// Plots submenu have no update rule: the views open whether or not an analysis exists.
constexpr CommandHandlers kCommands[] = {
    {CmdSettings, [](Document& d) { d.EditSettings(); }, enabled_unless_sampling},
    {CmdClassifierView, open_view<ViewClassifier>, enabled},
    {CmdReport, [](Document& d) { d.OpenView(report_view_type_id()); }, enabled},
    {CmdTachogram, open_view<ViewTachogram>, nullptr},
    {CmdRRHistogram, open_view<ViewRRHistogram>, nullptr},
    {CmdDeltaRRHistogram, open_view<ViewDeltaRRHistogram>, nullptr},
    {CmdPoincare, open_view<ViewPoincare>, nullptr},
    {CmdSpectrum, open_view<ViewSpectrum>, nullptr},
    {CmdAddMarker, [](Document& d) { d.AddBeatMarker(); }, update_add_marker},
    {CmdRemoveMarker, [](Document& d) { d.DeleteBeatMarker(); }, update_remove_marker},
    {CmdShowMarkers, send_macro<MacroToggleEventMarkers>, update_show_markers},
    {CmdAllBeatsNormal, [](Document& d) { d.ClassifyAllBeatsAsNormal(); }, update_all_beats_normal},
    {CmdFitClassifierBox, [](Document& d) { d.FitClassifierBoxToBeats(); }, update_fit_box},
    {CmdUnused, nullptr, disabled},
    {CmdOnlineMode, send_macro<MacroToggleOnlineMode>, update_online_mode},
    {CmdReselect, send_macro<MacroReselectAnalyzedRegion>, enabled_with_region},
    {CmdClearAnalysis, send_macro<MacroClearAnalysis>, enabled_with_region},
    {CmdAnalyse, send_macro<MacroAnalyze>, update_analyse},
};

const CommandHandlers* find_command(std::uint32_t commandId) {
  if ((commandId >> 16) != own_module_id()) return nullptr;
  for (const CommandHandlers& c : kCommands)
    if (c.number == (commandId & 0xFFFFu)) return &c;
  return nullptr;
}

// The Analysis Plots popup: item ids are the commands' local numbers.
struct PlotEntry {
  CommandNumber item;
  std::uint32_t textId;
};
constexpr PlotEntry kPlotEntries[] = {
    {CmdTachogram, 45}, {CmdRRHistogram, 48}, {CmdDeltaRRHistogram, 51}, {CmdPoincare, 54}, {CmdSpectrum, 57},
};

}  // namespace

std::uint32_t command_id(CommandNumber number) { return make_type_id(own_module_id(), number); }

std::uint32_t view_type_id(ViewNumber number) { return make_type_id(own_module_id(), number); }

std::uint32_t report_view_type_id() { return make_type_id(HostContext::instance().module_id(kReportViewFamily), 0); }

bool is_marker_position(std::uint32_t kind, TickPosition start, TickPosition end) noexcept {
  if (kind == kSelectionPoint) return true;
  return kind == kSelectionRange && start.is_set() && end == TickPosition{start.tick + 1, start.record};
}

HRESULT execute_command(Document& document, std::uint32_t commandId) {
  const CommandHandlers* c = find_command(commandId);
  if (!c || !c->execute) return S_FALSE;
  c->execute(document);
  return S_OK;
}

HRESULT update_command(Document& document, std::uint32_t commandId, ICommandUpdate& update) {
  const CommandHandlers* c = find_command(commandId);
  if (!c || !c->update) return S_FALSE;
  c->update(document, update);
  return S_OK;
}

HRESULT build_popup(std::uint32_t commandId, INativeMenu& menu) {
  if (commandId != command_id(CmdAnalysisPlots)) return S_FALSE;
  menu.RemoveAll();
  for (const PlotEntry& entry : kPlotEntries) {
    const std::u16string text = utf8_to_utf16(LoadString(entry.textId));
    menu.Append(entry.item, text.c_str());
  }
  return S_OK;
}

HRESULT dispatch_popup(Document& document, std::uint32_t commandId, std::uint32_t itemId) {
  if (commandId != command_id(CmdAnalysisPlots)) return S_FALSE;
  for (const PlotEntry& entry : kPlotEntries)
    if (entry.item == itemId) return execute_command(document, command_id(entry.item));
  return E_FAIL;
}

}  // namespace HRV
