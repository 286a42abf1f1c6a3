// SPDX-License-Identifier: MIT
// Reference counts over a document's whole life: analyse, edit beats, classify, analyse
// while sampling, clear, analyse again and close. Afterwards the document's last Release
// destroys it and every host object is back at its count from before.
#include <map>
#include <string>

#include "validator_fixture.h"

namespace validator {
namespace {

using fake_host::ref_count;

TEST_F(LibraryTest, CountsBalanceOverAnAnalyseEditClearAndCloseCycle) {
  fake_host::HostDocument& host = new_host();
  std::map<std::string, IUnknown*> hostObjects{
      {"host document", static_cast<IHostDocument*>(&host)},
      {"chart data", host.chart.get()},
      {"chart view", host.view.get()},
      {"storage", host.storage.get()},
      {"analysis manager", host.manager.get()},
      {"sampling manager", host.samplingManager.get()},
      {"menu service", menus.get()},
      {"document class", documentClass.get()},
  };
  std::map<std::string, ULONG> before;
  for (const auto& [name, object] : hostObjects) before[name] = ref_count(object);

  ComPtr<IExtensionDocument> document = open_document(host);
  ASSERT_TRUE(document);
  auto sink = document.query<IOnlineDataSink>();
  execute(document.get(), host, "HRV|Analyse");
  host.view->select(kSelectionRange, {2500, 0}, {4500, 0});
  execute(document.get(), host, "HRV|RemoveMarker");
  host.view->select(kSelectionPoint, {3000, 0}, {3000, 0});
  execute(document.get(), host, "HRV|AddMarker");
  execute(document.get(), host, "HRV|AllBeatsNormal");
  execute(document.get(), host, "HRV|ShowMarkers");

  // Sampling into a third record, continuing the analysed region.
  execute(document.get(), host, "HRV|OnlineMode");
  ASSERT_EQ(host.samplingManager->sinks.size(), 1u) << "Analyze while Sampling did not register the sink";
  VARIANT_BOOL allowed = VARIANT_FALSE;
  EXPECT_EQ(sink->CanStartSampling(0, &allowed), S_OK);
  host.records.push_back({120.0, 0.001, 0});
  host.samplingStartRecord = 2;
  host.sampling = true;
  EXPECT_EQ(sink->SamplingStarting(0), S_OK);
  EXPECT_EQ(sink->SamplingStateChanged(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, VARIANT_TRUE), S_OK);
  host.add_beats(2, {1000, 2000, 3000}, 1.0, 1.2);
  host.records[2].length = 3500;
  EXPECT_EQ(sink->OnlineData(0), S_OK);
  EXPECT_EQ(sink->SamplingEnding(0, 0), S_FALSE);  // no beats after the last batch
  host.sampling = false;
  EXPECT_EQ(sink->SamplingStateChanged(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, VARIANT_FALSE), S_OK);
  EXPECT_EQ(sink->SamplingStopped(0), S_OK);

  execute(document.get(), host, "HRV|ClearAnalysis");
  execute(document.get(), host, "HRV|Analyse");
  EXPECT_EQ(document->Close(), S_OK);
  sink.reset();

  // The host lets go of what the document handed it, except its persisted items.
  host.chart->children.clear();
  host.manager->items.clear();
  menus->strings.reset();
  EXPECT_TRUE(host.manager->clients.empty()) << "closing left the document registered with the analysis manager";
  EXPECT_TRUE(host.samplingManager->sinks.empty()) << "closing left the sampling sink registered";

  EXPECT_EQ(document.detach()->Release(), 0u) << "the document outlived its last reference";
  for (const auto& [name, object] : hostObjects) EXPECT_EQ(ref_count(object), before[name]) << name;
  EXPECT_EQ(host.storage->items.size(), 2u) << "the persisted items stay with the host";
}

}  // namespace
}  // namespace validator
