// SPDX-License-Identifier: MIT
// Analysis while the host samples (the document's IOnlineDataSink) and the host's
// notifications about changed data, channels and calculations.
#include "document_fixture.h"
#include "hrv/resources/string_table.h"
#include "tick_position_printer.h"

namespace document_test {
namespace {

HRESULT state_changed(HRV::Document& d, bool sampling) {
  return d.sampling_sink().SamplingStateChanged(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, to_variant_bool(sampling));
}

class OnlineTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    doc().ToggleOnlineMode();
    ASSERT_TRUE(doc().sink_registered());
  }
  // The host appends beats to the last record and grows it past them.
  void arrive(const std::vector<std::int32_t>& ticks, std::int32_t length) {
    host->add_beats(static_cast<std::int32_t>(host->records.size() - 1), ticks, 1.0, 1.2);
    host->records.back().length = length;
  }
};

TEST_F(OnlineTest, SamplingMovesTheRegionFoldsBeatsInAndClosesTheRegion) {
  host->records = {{0.0, 0.001, kTicksPerRecord}};
  host->samplingStartRecord = 1;
  VARIANT_BOOL allowed = VARIANT_FALSE;
  EXPECT_EQ(doc().sampling_sink().CanStartSampling(0, &allowed), S_OK);  // no region yet: nothing to be discontinuous with
  EXPECT_EQ(allowed, VARIANT_TRUE);
  EXPECT_TRUE(app->boxes.empty());

  host->records.push_back({60.0, 0.001, 0});
  host->sampling = true;
  EXPECT_EQ(doc().sampling_sink().SamplingStarting(0), S_OK);
  EXPECT_EQ(doc().settings().region_start(), (TickPosition{0, 1}));
  EXPECT_EQ(doc().settings().region_end(), TickPosition::open_end());
  EXPECT_EQ(host->live_channels().size(), 7u);
  EXPECT_EQ(observer.take(), (Events{"about 0", "changed 0"}));
  EXPECT_EQ(state_changed(doc(), true), S_OK);

  arrive({1000, 2000, 3000}, 3500);
  EXPECT_EQ(doc().sampling_sink().OnlineData(0), S_OK);
  EXPECT_EQ(doc().results().beatCount, 3u);
  EXPECT_EQ(observer.take(), (Events{"about 1", "changed 1"}));
  EXPECT_EQ(doc().sampling_sink().OnlineData(0), S_FALSE);  // a batch without beats is announced, never completed
  EXPECT_EQ(observer.take(), (Events{"about 1"}));

  arrive({4000, 5000}, 5500);
  EXPECT_EQ(doc().sampling_sink().SamplingEnding(0, 0), S_OK);
  EXPECT_EQ(doc().results().beatCount, 5u);
  EXPECT_EQ(observer.take(), (Events{"about 2", "changed 2"}));

  host->sampling = false;
  EXPECT_EQ(state_changed(doc(), false), S_OK);
  EXPECT_EQ(doc().sampling_sink().SamplingStopped(0), S_OK);
  EXPECT_EQ(doc().settings().region_end(), (TickPosition{5500, 1}));
  EXPECT_NE(host->expression("HRV_vFID").find(",1,0,1,5500,"), std::string::npos) << host->expression("HRV_vFID");
  EXPECT_EQ(doc().results().medianRR, 1.0);  // exact again once sampling stopped
  EXPECT_EQ(observer.take(), (Events{"about 3", "changed 3"}));
}

TEST_F(OnlineTest, ADiscontinuousStartAsksAndCancelKeepsTheAnalysis) {
  add_regular_beats();
  analyse_whole_channel();
  host->view->select(kSelectionRange, {1500, 0}, {2500, 0});
  doc().DeleteBeatMarker();
  observer.take();
  host->records.back().length = kTicksPerRecord + 5000;  // the data went on after the analysis
  const TickPosition end = doc().settings().region_end();

  app->boxAnswer = 2;  // Cancel
  VARIANT_BOOL allowed = VARIANT_TRUE;
  EXPECT_EQ(doc().sampling_sink().CanStartSampling(0, &allowed), S_FALSE);
  EXPECT_EQ(allowed, VARIANT_FALSE);
  ASSERT_EQ(app->boxes.size(), 1u);
  EXPECT_EQ(app->boxes[0].text, HRV::LoadString(4));
  EXPECT_EQ(app->boxes[0].caption, "HRV");
  EXPECT_EQ(app->boxes[0].type, 0x2031u);
  EXPECT_EQ(app->boxes[0].hostArgument, 0x800B0004u);
  EXPECT_EQ(doc().settings().region_end(), end);
  EXPECT_EQ(doc().data().user_events().positions(HRV::RemovedBeats).size(), 1u);
  EXPECT_TRUE(observer.take().empty());

  app->boxAnswer = 1;  // OK
  EXPECT_EQ(doc().sampling_sink().CanStartSampling(0, &allowed), S_OK);
  EXPECT_EQ(allowed, VARIANT_TRUE);
  EXPECT_FALSE(doc().region_set());
  EXPECT_TRUE(doc().data().user_events().positions(HRV::RemovedBeats).empty());
  EXPECT_EQ(observer.take(), (Events{"about 5"}));
}

TEST_F(DocumentTest, WithoutOnlineModeTheSinkCallbacksLeaveTheAnalysisAlone) {
  add_regular_beats();
  analyse_whole_channel();
  host->records.back().length = kTicksPerRecord + 5000;
  const auto before = settings_bytes();
  VARIANT_BOOL allowed = VARIANT_FALSE;
  EXPECT_EQ(doc().sampling_sink().CanStartSampling(0, &allowed), S_OK);
  EXPECT_EQ(allowed, VARIANT_TRUE);
  for (HRESULT hr : {doc().sampling_sink().SamplingStarting(0), state_changed(doc(), true), doc().sampling_sink().OnlineData(0),
                     doc().sampling_sink().SamplingEnding(0, 0), doc().sampling_sink().SamplingStopped(0)})
    EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(settings_bytes(), before);
  EXPECT_TRUE(app->boxes.empty());
  EXPECT_TRUE(observer.take().empty());
}

// ---- Host notifications ----

class NotificationTest : public DocumentTest {
 protected:
  // An analysis of ticks 0 to 30000 of the second record only.
  void SetUp() override {
    DocumentTest::SetUp();
    add_regular_beats();
    doc().settings().AnalyseSelection = true;
    host->view->select(kSelectionRange, {0, 1}, {30000, 1});
    analyse_whole_channel();
  }
  bool still_analysed() { return doc().region_set() && observer.take().empty(); }
  bool cleared() { return !doc().region_set() && observer.take() == Events{"about 5", "changed 5"}; }
};

TEST_F(NotificationTest, DataAndChannelChangesClearOnlyWhenTheyTouchTheAnalysis) {
  EXPECT_EQ(deliver(data_notification(kDataChanged), 100, 0, -1, 0), S_OK);  // all in the record before
  EXPECT_TRUE(still_analysed());
  EXPECT_EQ(deliver(data_notification(kDataChanged), 30001, 1, -1, 1), S_OK);  // starts after the region's end
  EXPECT_TRUE(still_analysed());
  EXPECT_EQ(deliver(data_notification(kChannelChanged), 3), S_OK);  // another channel
  EXPECT_TRUE(still_analysed());
  EXPECT_EQ(deliver(data_notification(kDataStructureChanged)), S_OK);  // the region still exists
  EXPECT_TRUE(still_analysed());
  EXPECT_EQ(deliver(data_notification(kDataRemoved), 100, 0, -1, 1), S_OK);  // reaches into the region
  EXPECT_TRUE(cleared());
}

TEST_F(NotificationTest, AChangeOfTheSourceOrOfTheStructureUnderTheRegionClears) {
  EXPECT_EQ(deliver(data_notification(kChannelRemoved), 0), S_OK);
  EXPECT_TRUE(cleared());
  analyse_whole_channel();
  host->channelValid = false;
  EXPECT_EQ(deliver(data_notification(kDataStructureChanged)), S_OK);
  EXPECT_TRUE(cleared());
}

TEST_F(NotificationTest, ANewCalculationOfTheSourceRerunsOrClearsTheAnalysis) {
  EXPECT_EQ(deliver(data_notification(kChannelCalculationChanged), 5, 0, 0, 0), S_OK);
  EXPECT_TRUE(still_analysed());
  EXPECT_EQ(deliver(data_notification(kChannelCalculationChanged), 0, 0, 0, 0), S_OK);
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
  host->regionValid = false;
  EXPECT_EQ(deliver(data_notification(kChannelCalculationChanged), 0, 0, 0, 0), S_OK);
  EXPECT_TRUE(cleared());
}

TEST_F(NotificationTest, OtherMessagesAreLeftToTheHost) {
  const std::uint32_t framework = std::uint32_t{app->module_id(kFrameworkNotificationFamily)} << 16;
  for (std::uint32_t number : {5u, 6u, 7u}) EXPECT_EQ(deliver(framework | number), S_FALSE) << number;
  EXPECT_EQ(deliver(data_notification(99)), S_FALSE);
  EXPECT_EQ(deliver(0x80000001u), S_OK);  // the framework's follow-up to the attach notice: nothing to do
  EXPECT_TRUE(still_analysed());
}

}  // namespace
}  // namespace document_test
