// SPDX-License-Identifier: MIT
// The document's menu tree, its commands' execute and update rules, and the Analysis
// Plots popup.
#include "hrv/host/commands.h"

#include <set>

#include "document_fixture.h"
#include "fake_host_ui.h"
#include "hrv/host/macro_messages.h"

namespace document_test {
namespace {

using enum HRV::CommandNumber;

class CommandTest : public DocumentTest {
 protected:
  // What the host would show for the item: "enabled", "disabled" or "no rule", then
  // ", checked" / ", unchecked" and the text when the rule sets them.
  std::string state(std::uint16_t local) {
    auto update = make_com<fake_host::CommandUpdate>();
    const HRESULT hr = doc().command_target().Update(command_id(local), update.get());
    if (hr != S_OK) return "no rule";
    std::string s = update->enabled ? (*update->enabled ? "enabled" : "disabled") : "?";
    if (update->checked) s += *update->checked ? ", checked" : ", unchecked";
    if (update->text) s += ", " + *update->text;
    return s;
  }
  // The messages sent since the last call: the view type of a request to open a view (with
  // its fixed arguments 0 and 4), else the message type.
  std::vector<std::uint32_t> sent() {
    std::vector<std::uint32_t> out;
    for (const HostMessage& m : std::exchange(host->messages, {})) {
      const bool view = m.type == kMessageOpenView && m.args[0] == 0 && m.args[1] == 4;
      out.push_back(view ? static_cast<std::uint32_t>(m.args[2]) : m.type);
    }
    return out;
  }
};

TEST_F(CommandTest, MenuTreeGivesEveryCommandItsTextAndTwoShorterForms) {
  auto menus = make_com<fake_host::MenuService>();
  ASSERT_EQ(doc().SetupUserInterface(menus.get()), S_OK);
  EXPECT_EQ(menus->menus, (std::vector<std::pair<std::string, std::string>>{{"HRV", "HRV"}}));
  std::set<std::uint32_t> commands;
  for (const auto& item : menus->items) {
    EXPECT_EQ(item.path.rfind("HRV", 0), 0u) << item.path;
    if (item.commandId == 0) continue;
    EXPECT_TRUE(commands.insert(item.commandId).second) << item.path << " repeats a command";
    EXPECT_EQ(item.commandId >> 16, module_id()) << item.path;
    EXPECT_FALSE(item.text.empty()) << item.path;
  }
  EXPECT_EQ(commands.size(), 18u);
  EXPECT_EQ(menus->items.back().path + " " + menus->items.back().anchor, "HRV|Analyse analyse");
  Bstr tip;
  ASSERT_EQ(menus->strings->GetString(61, tip.put()), S_OK);
  EXPECT_EQ(tip.utf8(), "Add Beat Marker");
  EXPECT_EQ(menus->strings->GetString(72, tip.put()), S_FALSE);
}

TEST_F(CommandTest, UpdateRulesFollowTheAnalysisTheSelectionAndTheSamplingHost) {
  EXPECT_EQ(state(CmdAnalyse), "enabled, Analyze Channel");
  EXPECT_EQ(state(CmdClearAnalysis) + " " + state(CmdReselect) + " " + state(CmdAllBeatsNormal), "disabled disabled disabled");
  EXPECT_EQ(state(CmdShowMarkers), "enabled, checked");
  EXPECT_EQ(state(CmdOnlineMode), "enabled, unchecked");
  for (std::uint16_t view = CmdTachogram; view <= CmdSpectrum; ++view) EXPECT_EQ(state(view), "no rule") << view;
  EXPECT_EQ(state(CmdClassifierView) + " " + state(CmdReport) + " " + state(CmdUnused), "enabled enabled disabled");
  analyse_whole_channel();
  EXPECT_EQ(state(CmdClearAnalysis) + " " + state(CmdReselect), "enabled enabled");
  EXPECT_EQ(state(CmdAllBeatsNormal), "disabled") << "no beats: the extents are unknown";
  host->add_beats(0, {1000, 2000, 3000}, 0.9, 1.2);
  doc().Analyze();
  EXPECT_EQ(state(CmdAllBeatsNormal), "enabled");

  const std::tuple<std::uint32_t, TickPosition, const char*> selections[] = {
      {kSelectionPoint, {10, 0}, "enabled disabled"},
      {kSelectionRange, {11, 0}, "enabled enabled"},  // one sample wide: a marker position
      {kSelectionRange, {12, 0}, "disabled enabled"},
      {kSelectionNone, {11, 0}, "disabled disabled"}};
  for (const auto& [kind, end, want] : selections) {
    host->view->select(kind, {10, 0}, end);
    EXPECT_EQ(state(CmdAddMarker) + " " + state(CmdRemoveMarker), want) << kind << " to " << end.tick;
  }
  auto view = std::exchange(host->view, nullptr);  // no chart view at all
  EXPECT_EQ(state(CmdAddMarker), "disabled");
  host->view = view;
  doc().settings().AnalyseSelection = true;
  doc().settings().ShowMarkers = false;
  doc().settings().OnlineMode = true;
  EXPECT_EQ(state(CmdAnalyse), "enabled, Analyze Selection");
  EXPECT_EQ(state(CmdShowMarkers), "enabled, unchecked");
  EXPECT_EQ(state(CmdOnlineMode), "enabled, checked");
  host->samplingManager = nullptr;  // a document that cannot sample
  EXPECT_EQ(state(CmdOnlineMode), "disabled, checked");
  host->sampling = true;
  for (std::uint16_t command : {CmdAnalyse, CmdClearAnalysis, CmdReselect, CmdSettings})
    EXPECT_EQ(state(command).substr(0, 8), "disabled") << command;
}

TEST_F(CommandTest, ViewCommandsOpenTheirViewsAndAnalysisItemsOnlySendTheirMacroMessages) {
  for (std::uint16_t command : {CmdTachogram, CmdSpectrum, CmdRRHistogram, CmdDeltaRRHistogram, CmdClassifierView, CmdPoincare,
                                CmdReport, CmdAnalyse, CmdClearAnalysis, CmdReselect, CmdOnlineMode, CmdShowMarkers})
    ASSERT_EQ(doc().command_target().Execute(command_id(command)), S_OK) << command;
  EXPECT_EQ(sent(), (std::vector<std::uint32_t>{command_id(1), command_id(2), command_id(3), command_id(4), command_id(5),
                                                 command_id(6), std::uint32_t{app->module_id(HRV::kReportViewFamily)} << 16,
                                                 command_id(0x100), command_id(0x101), command_id(0x102), command_id(0x103),
                                                 command_id(0x104)}));
  // The host has not delivered the macros back: nothing happened yet.
  EXPECT_FALSE(doc().region_set());
  EXPECT_TRUE(doc().settings().ShowMarkers);
  EXPECT_FALSE(doc().settings().OnlineMode);
  // Delivered, they act; toggling twice restores the flag.
  EXPECT_EQ(deliver(command_id(HRV::MacroToggleEventMarkers)), S_OK);
  EXPECT_FALSE(doc().settings().ShowMarkers);
  EXPECT_EQ(deliver(command_id(HRV::MacroToggleEventMarkers)), S_OK);
  EXPECT_TRUE(doc().settings().ShowMarkers);
  EXPECT_EQ(deliver(command_id(HRV::MacroAnalyze)), S_OK);
  EXPECT_TRUE(doc().region_set());
}

TEST_F(CommandTest, AnalysisPlotsPopupListsTheFiveViewsAndOpensThem) {
  auto menu = make_com<fake_host::NativeMenu>();
  menu->Append(77, u"left over");
  ASSERT_EQ(doc().command_target().BuildPopup(command_id(CmdAnalysisPlots), menu.get()), S_OK);
  EXPECT_EQ(menu->removals, 1);
  EXPECT_EQ(menu->entries, (std::vector<std::pair<std::uint32_t, std::string>>{{5, "Tachogram Plot"},
                                                                               {6, "RR Histogram Plot"},
                                                                               {7, "Delta RR Histogram Plot"},
                                                                               {8, "Poincar\u00e9 Plot"},
                                                                               {9, "Power Spectrum Plot"}}));
  ASSERT_EQ(doc().command_target().DispatchPopup(command_id(CmdAnalysisPlots), 8), S_OK);
  EXPECT_EQ(sent(), std::vector<std::uint32_t>{command_id(HRV::ViewPoincare)});
  EXPECT_EQ(doc().command_target().DispatchPopup(command_id(CmdAnalysisPlots), 4), E_FAIL);  // not one of the five
  EXPECT_EQ(doc().command_target().DispatchPopup(command_id(CmdSettings), 5), S_FALSE);
  EXPECT_EQ(doc().command_target().BuildPopup(command_id(CmdSettings), menu.get()), S_FALSE);
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace document_test
