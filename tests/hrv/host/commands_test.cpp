// SPDX-License-Identifier: MIT
// The document's menu tree, its commands' execute and update rules, and the Analysis
// Plots popup.
#include "hrv/host/commands.h"

#include "document_fixture.h"
#include "fake_host_ui.h"
#include "hrv/host/macro_messages.h"

namespace document_test {
namespace {

using enum HRV::CommandNumber;

class CommandTest : public DocumentTest {
 protected:
  std::uint32_t id(std::uint16_t local) { return std::uint32_t{module_id()} << 16 | local; }

  // The item state the host would show; `handled` is false when there is no update rule.
  struct State {
    bool handled;
    std::optional<bool> enabled;
    std::optional<bool> checked;
    std::optional<std::string> text;
  };
  State state(std::uint16_t local) {
    auto update = make_com<fake_host::CommandUpdate>();
    const HRESULT hr = doc().command_target().Update(id(local), update.get());
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
    return {hr == S_OK, update->enabled, update->checked, update->text};
  }
  bool enabled(std::uint16_t local) {
    const State s = state(local);
    EXPECT_TRUE(s.handled && s.enabled.has_value()) << "command " << local << " has no enable rule";
    return s.enabled.value_or(false);
  }
  std::vector<HostMessage> take_messages() { return std::exchange(host->messages, {}); }
};

TEST_F(CommandTest, MenuTreeAddsTheHrvMenuInOrderWithTextsAndAnchors) {
  auto menus = make_com<fake_host::MenuService>();
  ASSERT_EQ(doc().SetupUserInterface(menus.get()), S_OK);
  ASSERT_EQ(menus->menus.size(), 1u);
  EXPECT_EQ(menus->menus[0], std::make_pair(std::string("HRV"), std::string("HRV")));

  struct Expected {
    std::uint16_t command;
    const char* path;
    const char* text;
    const char* anchor;
    std::int32_t placement;
    std::uint32_t flags;
  };
  const Expected expected[] = {
      {0, "HRV^EXTENSION|", "HRV", "", 0, 0},
      {1, "HRV|Settings", "&Settings...", "settings", 1003, 10},
      {0, "HRV|-", "", "", 0, 0},
      {2, "HRV|ClassifierView", "&Beat Classifier View", "window_TvkClass", 1006, 10},
      {3, "HRV|Report", "&Report View", "Quell_Report", 1007, 10},
      {4, "HRV|AnalysisPlots|", "Analysis Plots", "windows_graphsmenu", 1005, 522},
      {5, "HRV|AnalysisPlots|Tachogram", "Tachogram Plot", "", 0, 0},
      {6, "HRV|AnalysisPlots|RRHistogram", "RR Histogram Plot", "", 0, 0},
      {7, "HRV|AnalysisPlots|DeltaRRHistogram", "Delta RR Histogram Plot", "", 0, 0},
      {8, "HRV|AnalysisPlots|Poincare", "Poincar\u00e9 Plot", "", 0, 0},
      {9, "HRV|AnalysisPlots|Spectrum", "Power Spectrum Plot", "", 0, 0},
      {0, "HRV|-", "", "", 0, 0},
      {10, "HRV|AddMarker", "&Add Beat Marker", "", 0, 0},
      {11, "HRV|RemoveMarker", "&Delete Beat Marker", "", 0, 0},
      {12, "HRV|ShowMarkers", "&Show Beat Markers", "", 0, 0},
      {13, "HRV|AllBeatsNormal", "Classify all Beats as Normal", "", 0, 0},
      {0, "HRV|-", "", "", 0, 0},
      {15, "HRV|OnlineMode", "Analyze &while Sampling", "", 0, 0},
      {0, "HRV|-", "", "", 0, 0},
      {16, "HRV|Reselect", "Reselect Analyzed Data", "", 0, 0},
      {17, "HRV|ClearAnalysis", "Clear Analysis", "", 0, 0},
      {18, "HRV|Analyse", "Analyze", "analyse", 1004, 10},
  };
  ASSERT_EQ(menus->items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& item = menus->items[i];
    const Expected& e = expected[i];
    SCOPED_TRACE(e.path);
    EXPECT_EQ(item.path, e.path);
    EXPECT_EQ(item.commandId, e.command ? id(e.command) : 0u);
    EXPECT_EQ(item.text, e.text);
    EXPECT_EQ(item.anchor, e.anchor);
    EXPECT_EQ(item.placement, e.placement);
    EXPECT_EQ(item.flags, e.flags);
  }
  // Each text comes with two shorter forms.
  Bstr tip;
  ASSERT_EQ(menus->strings->GetString(61, tip.put()), S_OK);
  EXPECT_EQ(tip.utf8(), "Add Beat Marker");
  EXPECT_EQ(menus->strings->GetString(72, tip.put()), S_FALSE);
  EXPECT_EQ(tip.get(), nullptr);
  EXPECT_EQ(doc().SetupUserInterface(nullptr), E_POINTER);
}

TEST_F(CommandTest, AnalyzeItemNamesTheDataSource) {
  doc().settings().AnalyseSelection = true;
  EXPECT_EQ(state(CmdAnalyse).text, "Analyze Selection");
  doc().settings().AnalyseSelection = false;
  EXPECT_EQ(state(CmdAnalyse).text, "Analyze Channel");
  EXPECT_TRUE(enabled(CmdAnalyse));
  host->sampling = true;
  EXPECT_FALSE(enabled(CmdAnalyse));
}

TEST_F(CommandTest, ClearAndReselectNeedARegionAndAHostThatIsNotSampling) {
  EXPECT_FALSE(enabled(CmdClearAnalysis));
  EXPECT_FALSE(enabled(CmdReselect));
  analyse_whole_channel();
  EXPECT_TRUE(enabled(CmdClearAnalysis));
  EXPECT_TRUE(enabled(CmdReselect));
  host->sampling = true;
  EXPECT_FALSE(enabled(CmdClearAnalysis));
  EXPECT_FALSE(enabled(CmdReselect));
  EXPECT_FALSE(enabled(CmdSettings));
}

TEST_F(CommandTest, MarkerCommandsFollowTheKindOfSelection) {
  analyse_whole_channel();
  host->view->select(kSelectionPoint, {10, 0}, {10, 0});
  EXPECT_TRUE(enabled(CmdAddMarker));
  EXPECT_FALSE(enabled(CmdRemoveMarker));
  host->view->select(kSelectionRange, {10, 0}, {11, 0});  // one sample wide: a marker position
  EXPECT_TRUE(enabled(CmdAddMarker));
  EXPECT_TRUE(enabled(CmdRemoveMarker));
  host->view->select(kSelectionRange, {10, 0}, {12, 0});
  EXPECT_FALSE(enabled(CmdAddMarker));
  EXPECT_TRUE(enabled(CmdRemoveMarker));
  host->view->select(kSelectionNone, {10, 0}, {11, 0});
  EXPECT_FALSE(enabled(CmdAddMarker));
  EXPECT_FALSE(enabled(CmdRemoveMarker));
  host->view = nullptr;  // no chart view at all
  EXPECT_FALSE(enabled(CmdAddMarker));
}

TEST_F(CommandTest, TogglesShowTheirFlagsAndOnlineModeNeedsASamplingHost) {
  EXPECT_EQ(state(CmdShowMarkers).checked, true);
  EXPECT_EQ(state(CmdOnlineMode).checked, false);
  EXPECT_TRUE(enabled(CmdOnlineMode));
  doc().settings().ShowMarkers = false;
  doc().settings().OnlineMode = true;
  EXPECT_EQ(state(CmdShowMarkers).checked, false);
  EXPECT_EQ(state(CmdOnlineMode).checked, true);
  host->samplingManager = nullptr;
  EXPECT_FALSE(enabled(CmdOnlineMode));
}

TEST_F(CommandTest, ClassifyAllBeatsNeedsMeasuredExtents) {
  EXPECT_FALSE(enabled(CmdAllBeatsNormal));  // no region
  analyse_whole_channel();
  EXPECT_FALSE(enabled(CmdAllBeatsNormal));  // no beats: extents unknown
  host->add_beats(0, {1000, 2000, 3000}, 0.9, 1.2);
  doc().Analyze();
  EXPECT_TRUE(enabled(CmdAllBeatsNormal));
}

TEST_F(CommandTest, ViewItemsHaveNoUpdateRuleAndTheUnusedCommandIsDisabled) {
  for (std::uint16_t local = CmdTachogram; local <= CmdSpectrum; ++local) EXPECT_FALSE(state(local).handled) << local;
  EXPECT_TRUE(enabled(CmdClassifierView));
  EXPECT_TRUE(enabled(CmdReport));
  EXPECT_FALSE(enabled(CmdUnused));
  EXPECT_EQ(doc().command_target().Execute(id(CmdUnused)), S_FALSE);
  // Another extension's module id or an unknown number is not this document's command.
  auto update = make_com<fake_host::CommandUpdate>();
  EXPECT_EQ(doc().command_target().Update((std::uint32_t{module_id()} + 1) << 16 | CmdAnalyse, update.get()), S_FALSE);
  EXPECT_EQ(doc().command_target().Update(id(99), update.get()), S_FALSE);
  EXPECT_EQ(doc().command_target().Execute(id(99)), S_FALSE);
  EXPECT_EQ(doc().command_target().Update(id(CmdAnalyse), nullptr), E_POINTER);
}

TEST_F(CommandTest, ViewCommandsAskTheHostToOpenTheirViewsWithOrWithoutAnAnalysis) {
  const std::pair<std::uint16_t, std::uint16_t> views[] = {{CmdTachogram, 1}, {CmdSpectrum, 2}, {CmdRRHistogram, 3},
                                                           {CmdDeltaRRHistogram, 4}, {CmdClassifierView, 5}, {CmdPoincare, 6}};
  for (auto [command, view] : views) {
    ASSERT_EQ(doc().command_target().Execute(id(command)), S_OK);
    const auto sent = take_messages();
    ASSERT_EQ(sent.size(), 1u) << command;
    EXPECT_EQ(sent[0].type, kMessageOpenView);
    EXPECT_EQ(sent[0].args[0], 0);
    EXPECT_EQ(sent[0].args[1], 4);
    EXPECT_EQ(static_cast<std::uint32_t>(sent[0].args[2]), id(view)) << command;
  }
  ASSERT_EQ(doc().command_target().Execute(id(CmdReport)), S_OK);
  const auto sent = take_messages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(sent[0].args[2]), std::uint32_t{app->module_id(HRV::kReportViewFamily)} << 16);
}

TEST_F(CommandTest, ToggleAndAnalysisItemsOnlySendTheirMacroMessages) {
  const std::pair<std::uint16_t, std::uint16_t> macros[] = {
      {CmdAnalyse, 0x100}, {CmdClearAnalysis, 0x101}, {CmdReselect, 0x102}, {CmdOnlineMode, 0x103}, {CmdShowMarkers, 0x104}};
  for (auto [command, number] : macros) {
    ASSERT_EQ(doc().command_target().Execute(id(command)), S_OK);
    const auto sent = take_messages();
    ASSERT_EQ(sent.size(), 1u) << command;
    EXPECT_EQ(sent[0].type, id(number)) << command;
  }
  // The host has not delivered them back: nothing happened yet.
  EXPECT_FALSE(doc().region_set());
  EXPECT_TRUE(doc().settings().ShowMarkers);
  EXPECT_FALSE(doc().settings().OnlineMode);
}

TEST_F(CommandTest, ReplayingToggleEventMarkersTwiceRestoresTheFlag) {
  analyse_whole_channel();
  EXPECT_EQ(deliver(id(HRV::MacroToggleEventMarkers)), S_OK);
  EXPECT_FALSE(doc().settings().ShowMarkers);
  EXPECT_EQ(deliver(id(HRV::MacroToggleEventMarkers)), S_OK);
  EXPECT_TRUE(doc().settings().ShowMarkers);
  EXPECT_EQ(deliver(id(HRV::MacroAnalyze)), S_OK);
  EXPECT_EQ(observer.take(), (std::vector<std::string>{"about 5", "about 4", "changed 4"}));
}

TEST_F(CommandTest, AnalysisPlotsPopupListsTheFiveViewsAndOpensThem) {
  auto menu = make_com<fake_host::NativeMenu>();
  menu->Append(77, u"left over");
  ASSERT_EQ(doc().command_target().BuildPopup(id(CmdAnalysisPlots), menu.get()), S_OK);
  EXPECT_EQ(menu->removals, 1);
  const std::vector<std::pair<std::uint32_t, std::string>> entries{
      {5, "Tachogram Plot"}, {6, "RR Histogram Plot"}, {7, "Delta RR Histogram Plot"},
      {8, "Poincar\u00e9 Plot"}, {9, "Power Spectrum Plot"}};
  EXPECT_EQ(menu->entries, entries);

  ASSERT_EQ(doc().command_target().DispatchPopup(id(CmdAnalysisPlots), 8), S_OK);
  const auto sent = take_messages();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(sent[0].args[2]), id(HRV::ViewPoincare));
  EXPECT_EQ(doc().command_target().DispatchPopup(id(CmdAnalysisPlots), 10), E_FAIL);
  EXPECT_EQ(doc().command_target().DispatchPopup(id(CmdAnalysisPlots), 4), E_FAIL);
  EXPECT_EQ(doc().command_target().DispatchPopup(id(CmdSettings), 5), S_FALSE);
  EXPECT_EQ(doc().command_target().BuildPopup(id(CmdSettings), menu.get()), S_FALSE);
  EXPECT_EQ(doc().command_target().BuildPopup(id(CmdAnalysisPlots), nullptr), E_POINTER);
  EXPECT_TRUE(take_messages().empty());
}

}  // namespace
}  // namespace document_test
