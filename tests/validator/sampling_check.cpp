// SPDX-License-Identifier: MIT
// While the host samples, no command and no macro message changes the analysis: not its
// persisted items, not the detector channels, markers, chart children or selection, and
// not the sampling registration.
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "validator_fixture.h"

namespace validator {
namespace {

struct AnalysisState {
  std::vector<std::uint8_t> settings;
  std::vector<std::uint8_t> edits;
  std::map<std::string, std::string> channels;  // name -> expression
  std::set<std::pair<std::int32_t, std::int32_t>> markers;
  std::set<std::uint32_t> children;
  std::size_t selectionsSet;
  std::size_t sinks;

  friend bool operator==(const AnalysisState&, const AnalysisState&) = default;
};

TEST_F(LibraryTest, WhileTheHostSamplesNoCommandChangesTheAnalysis) {
  fake_host::HostDocument& host = new_host();
  ComPtr<IExtensionDocument> document = open_document(host);
  ASSERT_TRUE(document);
  execute(document.get(), host, "HRV|Analyse");
  host.view->select(kSelectionRange, {1500, 0}, {2500, 0});
  execute(document.get(), host, "HRV|RemoveMarker");

  const auto state = [&] {
    AnalysisState s{saved_item(document.get(), 0), saved_item(document.get(), 1), {}, host.markers, {}, host.view->sets.size(),
                    host.samplingManager->sinks.size()};
    for (const std::string& name : host.live_channels()) s.channels[name] = host.expression(name);
    for (const auto& [type, child] : host.chart->children) s.children.insert(type);
    return s;
  };
  host.sampling = true;
  const AnalysisState before = state();
  ASSERT_EQ(before.channels.size(), 7u);

  auto commands = document.query<ICommandTarget>();
  for (const auto& item : menus->items) {
    if (item.commandId == 0) continue;
    host.view->select(kSelectionRange, {500, 0}, {501, 0});  // a selection every marker command accepts
    EXPECT_TRUE(SUCCEEDED(commands->Execute(item.commandId))) << item.path;
    deliver_macros(document.get(), host);
    EXPECT_TRUE(state() == before) << item.path << " changed the analysis while the host samples";
  }
  // Replayed macros arrive without their menu items.
  auto sink = document.query<IMessageSink>();
  for (const auto& m : app->messages->classes) {
    HostMessage message{0, {}, nullptr};
    ASSERT_EQ(m->GetMessageType(&message.type), S_OK);
    EXPECT_EQ(sink->OnMessage(&message), S_OK);
  }
  EXPECT_TRUE(state() == before) << "a replayed macro changed the analysis while the host samples";

  host.sampling = false;
  EXPECT_EQ(document->Close(), S_OK);
}

}  // namespace
}  // namespace validator
