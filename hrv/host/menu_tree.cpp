// SPDX-License-Identifier: MIT
#include "hrv/host/menu_tree.h"

#include "hrv/host/commands.h"
#include "hrv/host/extension_strings.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"

namespace HRV {

namespace {

// One item of the tree; `command` is a local number, 0 for none.
struct MenuTreeItem {
  std::uint16_t command;
  const char16_t* path;
  std::uint32_t textId;
  const char16_t* anchor;
  std::int32_t placement;
  std::uint32_t flags;
};

// Placement numbers and flags belong to the host's menu service; they are passed unread.
constexpr std::uint32_t kAnchoredItem = 10;
constexpr std::uint32_t kAnchoredSubmenu = 0x20A;

constexpr MenuTreeItem kTree[] = {
    {0, u"HRV^EXTENSION|", 27, nullptr, 0, 0},
    {CmdSettings, u"HRV|Settings", 30, u"settings", 1003, kAnchoredItem},
    {0, u"HRV|-", 0, nullptr, 0, 0},
    {CmdClassifierView, u"HRV|ClassifierView", 33, u"window_TvkClass", 1006, kAnchoredItem},
    {CmdReport, u"HRV|Report", 36, u"Quell_Report", 1007, kAnchoredItem},
    {CmdAnalysisPlots, u"HRV|AnalysisPlots|", 39, u"windows_graphsmenu", 1005, kAnchoredSubmenu},
    {CmdTachogram, u"HRV|AnalysisPlots|Tachogram", 45, nullptr, 0, 0},
    {CmdRRHistogram, u"HRV|AnalysisPlots|RRHistogram", 48, nullptr, 0, 0},
    {CmdDeltaRRHistogram, u"HRV|AnalysisPlots|DeltaRRHistogram", 51, nullptr, 0, 0},
    {CmdPoincare, u"HRV|AnalysisPlots|Poincare", 54, nullptr, 0, 0},
    {CmdSpectrum, u"HRV|AnalysisPlots|Spectrum", 57, nullptr, 0, 0},
    {0, u"HRV|-", 0, nullptr, 0, 0},
    {CmdAddMarker, u"HRV|AddMarker", 60, nullptr, 0, 0},
    {CmdRemoveMarker, u"HRV|RemoveMarker", 63, nullptr, 0, 0},
    {CmdShowMarkers, u"HRV|ShowMarkers", 66, nullptr, 0, 0},
    {CmdAllBeatsNormal, u"HRV|AllBeatsNormal", 69, nullptr, 0, 0},
    {CmdFitClassifierBox, u"HRV|FitClassifierBox", 201, nullptr, 0, 0},
    {0, u"HRV|-", 0, nullptr, 0, 0},
    {CmdOnlineMode, u"HRV|OnlineMode", 74, nullptr, 0, 0},
    {0, u"HRV|-", 0, nullptr, 0, 0},
    {CmdReselect, u"HRV|Reselect", 77, nullptr, 0, 0},
    {CmdClearAnalysis, u"HRV|ClearAnalysis", 80, nullptr, 0, 0},
    {CmdAnalyse, u"HRV|Analyse", 42, u"analyse", 1004, kAnchoredItem},
};

}  // namespace

void build_menu_tree(IMenuService& menus) {
  const std::uint16_t module = HostContext::instance().module_id(GUID_HRVDocumentObj);
  const auto strings = make_com<ExtensionStrings>();
  menus.AddMenu(u"HRV", u"HRV");
  for (const MenuTreeItem& item : kTree) {
    const MenuItem record{item.command ? make_type_id(module, item.command) : 0u, item.path, item.textId, item.anchor,
                          item.placement, item.flags};
    menus.AddMenuItem(&record, strings.get());
  }
}

}  // namespace HRV
