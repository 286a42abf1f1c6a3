// SPDX-License-Identifier: MIT
// A document frame as the probe extension's document lives in it: creation and attachment,
// storage, chart view, analysis manager, message box, views and closing, each driven from
// inside the loaded library through the interfaces.
#include "korvel/services/document_frame.h"

#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

using Lines = std::vector<std::string>;

using DocumentFrameTest = ProbeSession;

TEST_F(DocumentFrameTest, CreatesTheExtensionDocumentAndAttachesItToItsServices) {
  ASSERT_EQ(frame->extensions().size(), 1u);
  EXPECT_EQ(frame->extensions()[0].name, "Probe Document");
  EXPECT_EQ(journal(), (Lines{"attached", "follow-up", "menus"}));
  ASSERT_TRUE(frame->analysis_manager());
  const AnalysisManager::Client* client = frame->analysis_manager()->find("Probe");
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(client->text, "Probe analysis");
  EXPECT_EQ(client->items.size(), 2u);
  EXPECT_EQ(frame->sampling_manager()->sinks().size(), 1u);
  // The host initialised both persisted objects and keeps them in the site's storage.
  const auto& items = frame->extensions()[0].site->storage().items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items.at(0).loaded);
  EXPECT_FALSE(frame->dirty());
}

TEST_F(DocumentFrameTest, EachDocumentHasItsOwnIdentityAndAStorageWithItsOwnItems) {
  DocumentFrame& second = session->open(synthetic_document(5.0));
  EXPECT_NE(second.identity(), frame->identity());
  EXPECT_EQ(session->active(), &second);
  auto other = probe_of(second);
  ASSERT_EQ(other->SetNote(u"second"), S_OK);
  EXPECT_TRUE(second.dirty());
  EXPECT_FALSE(frame->dirty());
  const auto saved = second.save_items(true);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].document_class, probe::kDocumentClassId);
  EXPECT_EQ(saved[0].item_class, probe::kNoteClassId);
  EXPECT_EQ(saved[1].item_class, probe::kCounterClassId);
  EXPECT_FALSE(second.dirty());  // saving with clear_dirty
}

TEST_F(DocumentFrameTest, StorageHandsBackTheObjectsTheDocumentHandedOver) {
  frame->chart_view().select_range({0, 0}, {1000, 0});
  ASSERT_EQ(probe->Analyse(), S_OK);
  ComPtr<IDocumentStorage> storage;
  ASSERT_EQ(frame->extensions()[0].site->GetStorage(storage.put()), S_OK);
  ComPtr<IPersistStreamInit> item;
  ASSERT_EQ(storage->GetPersistedItem(1, item.put()), S_OK);
  GUID cls{};
  ASSERT_EQ(item->GetClassID(&cls), S_OK);
  EXPECT_EQ(cls, probe::kCounterClassId);
  EXPECT_EQ(storage->GetPersistedItem(2, item.put()), S_FALSE);
  EXPECT_FALSE(item);
  EXPECT_EQ(storage->SetPersistedItem(-1, nullptr, VARIANT_FALSE), E_POINTER);
}

TEST_F(DocumentFrameTest, TheExtensionSelectsThroughTheChartViewAndReadsTheHostsSelection) {
  ASSERT_EQ(probe->Select({100, 0}, {900, 0}), S_OK);
  EXPECT_EQ(frame->chart_view().selection().kind, kSelectionRange);
  EXPECT_EQ(frame->chart_view().selection().end, (TickPosition{900, 0}));
  EXPECT_EQ(frame->chart_view().shown(), (TickPosition{100, 0}));
  EXPECT_EQ(probe->Select({100, 0}, {20000, 0}), E_INVALIDARG);  // 20 s at 500 Hz end at tick 10000

  frame->chart_view().select_point({4000, 0});
  std::uint32_t kind = 0;
  TickPosition start, end;
  ASSERT_EQ(probe->ReadSelection(&kind, &start, &end), S_OK);
  EXPECT_EQ(kind, kSelectionPoint);
  EXPECT_EQ(start, (TickPosition{4000, 0}));
}

TEST_F(DocumentFrameTest, AnalysisManagerRequestsReachOnlyTheClientsTheyConcern) {
  frame->chart_view().select_range({1000, 0}, {2000, 0});
  ASSERT_EQ(probe->Analyse(), S_OK);
  EXPECT_EQ(frame->analysis_manager()->find("Probe")->changes, 1);
  journal();

  frame->analysis_manager()->request_clear({3000, 0}, {4000, 0});
  EXPECT_EQ(journal(), (Lines{"report-region", "clear not-affected"}));
  frame->analysis_manager()->request_reanalysis({0, 0}, {1000, 0});
  EXPECT_EQ(journal(), (Lines{"report-region", "reanalyse affected"}));
  std::int32_t count = 0;
  ASSERT_EQ(probe->GetCount(&count), S_OK);
  EXPECT_EQ(count, 1);

  frame->analysis_manager()->request_clear({1500, 0}, {1500, 0});
  EXPECT_EQ(journal(), (Lines{"report-region", "clear affected"}));
  TickPosition start, end;
  ASSERT_EQ(probe->GetRegion(&start, &end), S_OK);
  EXPECT_FALSE(start.is_set());
  EXPECT_TRUE(frame->analysis_manager()->collect_regions().empty());  // a client without a region reports none
}

TEST_F(DocumentFrameTest, MessageBoxAnswersAsScriptedAndOkOnceTheScriptIsUsedUp) {
  application->message_boxes().script({app::kAnswerCancel});
  std::int32_t answer = 0;
  ASSERT_EQ(probe->Ask(u"Continue?", &answer), S_OK);
  EXPECT_EQ(answer, app::kAnswerCancel);
  ASSERT_EQ(probe->Ask(u"Really?", &answer), S_OK);
  EXPECT_EQ(answer, app::kAnswerOk);
  const auto& shown = application->message_boxes().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Continue?");
  EXPECT_EQ(shown[0].caption, "Probe");
  EXPECT_EQ(shown[0].type, 0x2031u);
}

TEST_F(DocumentFrameTest, OpensTheViewOfARegisteredTypeOnceAndActivatesItAfterwards) {
  auto site = frame->extensions()[0].site;
  const HostMessage open{kMessageOpenView, {0, 4, static_cast<std::int32_t>(command(1)), 0}, nullptr};
  ASSERT_EQ(site->SendMessage(&open), S_OK);
  ASSERT_EQ(site->SendMessage(&open), S_OK);
  ASSERT_EQ(frame->views().size(), 1u);
  EXPECT_EQ(frame->views()[0].name, "Probe View");
  EXPECT_EQ(frame->views()[0].activations, 1);
  const HostMessage unknown_view{kMessageOpenView, {0, 4, static_cast<std::int32_t>(command(9)), 0}, nullptr};
  EXPECT_EQ(site->SendMessage(&unknown_view), E_INVALIDARG);
  const HostMessage unknown{0x12345678u, {}, nullptr};
  EXPECT_EQ(site->SendMessage(&unknown), E_INVALIDARG);
  EXPECT_EQ(site->NotifyService(kDocumentUpgradeService, 26), S_OK);
  EXPECT_EQ(site->NotifyService(probe::kProbeFamily, 26), S_FALSE);
  EXPECT_EQ(frame->notices().size(), 1u);
}

TEST_F(DocumentFrameTest, ClosingLetsTheDocumentGoAndReleasesWhatItLeftRegistered) {
  auto site = frame->extensions()[0].site;
  auto manager = frame->analysis_manager();
  auto sampling = frame->sampling_manager();
  session->close(*frame);
  EXPECT_EQ(journal(), (Lines{"attached", "follow-up", "menus", "close"}));
  EXPECT_TRUE(manager->clients().empty());
  EXPECT_TRUE(sampling->sinks().empty());
  EXPECT_EQ(session->active(), nullptr);
  const HostMessage m{kMessageCopy, {}, nullptr};
  EXPECT_EQ(site->SendMessage(&m), E_UNEXPECTED);
}

}  // namespace
}  // namespace korvel::services::test
