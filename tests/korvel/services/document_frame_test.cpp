// SPDX-License-Identifier: MIT
// A document frame as the probe extension's document lives in it: creation and attachment
// to the services, storage and dirty state, refusals, chart messages, and closing, each
// driven from inside the loaded library through the interfaces.
#include "korvel/services/document_frame.h"

#include "sdk/host/channel_calc.h"

#include "tests/korvel/services/probe_session.h"

namespace korvel::services::test {
namespace {

using DocumentFrameTest = ProbeSession;

TEST_F(DocumentFrameTest, CreatesTheExtensionDocumentAndAttachesItToItsServices) {
  ASSERT_EQ(frame->extensions().size(), 1u);
  EXPECT_EQ(frame->extensions()[0].name, "Probe Document");
  EXPECT_EQ(journal(), (Lines{"attached", "follow-up", "menus"}));
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

TEST_F(DocumentFrameTest, EachDocumentHasItsOwnIdentityItemsAndDirtyState) {
  DocumentFrame& second = session->open(synthetic_document(5.0));
  EXPECT_NE(second.identity(), frame->identity());
  EXPECT_EQ(session->active(), &second);
  ASSERT_EQ(probe_of(second)->SetNote(u"second"), S_OK);
  EXPECT_TRUE(second.dirty());
  EXPECT_FALSE(frame->dirty());
  const auto saved = second.save_items(true);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].document_class, probe::kDocumentClassId);
  EXPECT_EQ(saved[0].item_class, probe::kNoteClassId);
  EXPECT_EQ(saved[1].item_class, probe::kCounterClassId);
  EXPECT_FALSE(second.dirty()) << "saving with clear_dirty";
}

// The tool opens the HRV views through their classes (tests/apps); a type no class offers,
// a message nobody knows and a service this host does not offer are refused.
TEST_F(DocumentFrameTest, RefusesViewsMessagesAndServicesItDoesNotKnow) {
  auto site = frame->extensions()[0].site;
  const HostMessage unknown_view{kMessageOpenView, {0, 4, static_cast<std::int32_t>(command(9)), 0}, nullptr};
  EXPECT_EQ(site->SendMessage(&unknown_view), E_INVALIDARG);
  EXPECT_TRUE(frame->views().empty());
  const HostMessage unknown{0x12345678u, {}, nullptr};
  EXPECT_EQ(site->SendMessage(&unknown), E_INVALIDARG);
  EXPECT_EQ(site->NotifyService(kDocumentUpgradeService, 26), S_OK);
  EXPECT_EQ(site->NotifyService(probe::kProbeFamily, 26), S_FALSE);
  EXPECT_EQ(frame->notices().size(), 1u);
}

// Guide lines and bands follow the channel calculation the tool adds (tests/apps); what the
// chart cannot read it refuses and does not keep.
TEST_F(DocumentFrameTest, TheChartRefusesMessagesItCannotRead) {
  auto chart = frame->host_object().query<IChartMessageTarget>();
  ASSERT_TRUE(chart);
  const std::uint32_t good[] = {0, 0x21122, 0, 1, 1, 1, 0x898989}, no_channel[] = {0, 0x21122, 77, 1, 1, 1, 0},
                      line_three[] = {0, 0x21122, 0, 3, 1, 1, 0};
  const ChartMessage refused[] = {{kChartGuideLine, 6, good, nullptr},  // too short
                                  {0x800C0099u, 7, good, nullptr},      // unknown
                                  {kChartGuideLine, 7, no_channel, nullptr},
                                  {kChartGuideLine, 7, line_three, nullptr}};
  for (const ChartMessage& m : refused) EXPECT_EQ(chart->SendChartMessage(&m), E_INVALIDARG) << std::hex << m.type << " " << m.fields[2];
  const ChartMessage accepted{kChartGuideLine, 7, good, nullptr};
  EXPECT_EQ(chart->SendChartMessage(&accepted), S_OK);
  ASSERT_EQ(frame->chart_guides().messages().size(), 1u);
  EXPECT_TRUE(frame->chart_guides().lines().at({0, 1}).shown);
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
  const HostMessage copy{kMessageCopy, {}, nullptr};
  EXPECT_EQ(site->SendMessage(&copy), E_UNEXPECTED);
}

}  // namespace
}  // namespace korvel::services::test
