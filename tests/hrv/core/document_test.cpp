// SPDX-License-Identifier: MIT
#include "hrv/core/document.h"

#include <functional>
#include <limits>

#include "document_fixture.h"
#include "hrv/core/analysis_region.h"
#include "sdk/hrv/documents.h"
#include "tick_position_printer.h"

namespace document_test {
namespace {

using PositionSet = HRV::UserEventData::PositionSet;

const PositionSet& added(HRV::Document& d) { return d.data().user_events().positions(HRV::AddedBeats); }
const PositionSet& removed(HRV::Document& d) { return d.data().user_events().positions(HRV::RemovedBeats); }

// Hands the Settings command a copy changed by `edit`, or cancels when `accept` is false.
class ScriptedEditor final : public HRV::SettingsEditor {
 public:
  bool Edit(HRV::Settings& copy, const std::vector<std::u16string>& channelNames) override {
    offered = channelNames;
    ++shown;
    if (edit) edit(copy);
    return accept;
  }
  std::function<void(HRV::Settings&)> edit;
  bool accept = true;
  int shown = 0;
  std::vector<std::u16string> offered;
};

// ---- Analyze and the beat edits ----

TEST_F(DocumentTest, AnalyzeCoversTheWholeChannelBuildsTheChainAndComputes) {
  add_regular_beats();
  doc().Analyze();
  EXPECT_EQ(doc().settings().region_start(), (TickPosition{0, 0}));
  EXPECT_EQ(doc().settings().region_end(), (TickPosition{kTicksPerRecord, 1}));
  EXPECT_EQ(host->live_channels(),
            (std::vector<std::string>{"HRV_vLPF", "HRV_vDIF", "HRV_vHLB", "HRV_vENV", "HRV_vNRM", "HRV_vDET", "HRV_vFID"}));
  EXPECT_EQ(host->expression("HRV_vFID"), "fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,1,60000,1)");
  EXPECT_EQ(doc().results().beatCount, 2u * 59u);
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
  // The edits and the beat-number cache are where the enumerator looks for them.
  EXPECT_EQ(host->chart->children.size(), 2u);
  EXPECT_EQ(host->chart->children.count(command_id(2)), 1u);
  // Beat markers are on by default; the settings and edits went to the host storage.
  ChannelId fiducial;
  ASSERT_TRUE(doc().detector().FiducialChannel(&fiducial));
  EXPECT_EQ(host->markers.count({fiducial.index, 0}), 1u);
  EXPECT_EQ(host->storage->items.size(), 2u);
  EXPECT_TRUE(doc().settings().Dirty);
}

TEST_F(DocumentTest, AnalyzeSelectionTakesTheChartSelectionOrStoresAnUnsetRegion) {
  add_regular_beats();
  doc().settings().AnalyseSelection = true;
  doc().Analyze();  // nothing selected
  EXPECT_EQ(doc().settings().region_start(), TickPosition::unset());
  EXPECT_TRUE(host->live_channels().empty());
  EXPECT_TRUE(observer.take().empty());
  host->view->select(kSelectionRange, {5500, 0}, {20500, 0});
  doc().Analyze();
  EXPECT_EQ(doc().settings().region_start(), (TickPosition{5500, 0}));
  EXPECT_EQ(doc().settings().region_end(), (TickPosition{20500, 0}));
  EXPECT_EQ(doc().results().beatCount, 15u);  // beats at 6000 .. 20000
}

TEST_F(DocumentTest, AnalyzingAgainDiscardsTheBeatEditsOfTheFirstAnalysis) {
  add_regular_beats();
  analyse_whole_channel();
  host->view->select(kSelectionPoint, {1500, 0}, {1500, 0});
  doc().AddBeatMarker();
  ASSERT_EQ(added(doc()).size(), 1u);
  observer.take();
  doc().Analyze();
  EXPECT_TRUE(added(doc()).empty());
  // The restart is announced as a clear; its Changed comes as the new analysis.
  EXPECT_EQ(observer.take(), (Events{"about 5", "about 4", "changed 4"}));
}

TEST_F(DocumentTest, AddBeatMarkerOnADeletedBeatBringsItBackAsTheUsersOwn) {
  add_regular_beats();
  analyse_whole_channel();
  const TickPosition beat{3000, 0};
  host->view->select(kSelectionRange, beat, {3001, 0});
  doc().DeleteBeatMarker();
  ASSERT_EQ(removed(doc()), PositionSet{beat});
  observer.take();
  host->view->select(kSelectionPoint, beat, beat);
  doc().AddBeatMarker();
  EXPECT_TRUE(removed(doc()).empty());
  EXPECT_EQ(added(doc()), PositionSet{beat});
  EXPECT_EQ(observer.take(), (Events{"about 6", "changed 6"}));
  EXPECT_EQ(doc().data().IsDirty(), S_OK);
}

TEST_F(DocumentTest, DeleteBeatMarkerRemovesEveryBeatOfASelectionOverTwoRecords) {
  add_regular_beats();
  analyse_whole_channel();
  host->view->select(kSelectionRange, {57500, 0}, {2500, 1});
  doc().DeleteBeatMarker();
  EXPECT_EQ(removed(doc()), (PositionSet{{58000, 0}, {59000, 0}, {1000, 1}, {2000, 1}}));
  EXPECT_EQ(observer.take(), (Events{"about 6", "changed 6"}));
}

TEST_F(DocumentTest, ClassifyAllBeatsAsNormalPutsTheBoxAroundEveryBeatWithAMargin) {
  analyse_whole_channel();  // no beats: the extents are unknown and nothing changes
  doc().ClassifyAllBeatsAsNormal();
  EXPECT_EQ(doc().settings().MinRR, 0.8);
  EXPECT_TRUE(observer.take().empty());

  const double rr[] = {0.6, 0.8, 1.0, 0.7}, ff[] = {1.1, 1.4, 1.25, 1.3};
  for (int i = 0; i < 4; ++i) host->add_beat({{1000 * (i + 1), 0}, rr[i], 0.0, ff[i], 0x300, 0});
  analyse_whole_channel();
  doc().ClassifyAllBeatsAsNormal();
  // The margins are products and differences of doubles, a few ulps off the decimals.
  EXPECT_NEAR(doc().settings().MinRR, 0.55, 1e-12);
  EXPECT_NEAR(doc().settings().MaxRR, 1.05, 1e-12);
  EXPECT_NEAR(doc().settings().MinFF, 1.03, 1e-12);
  EXPECT_NEAR(doc().settings().MaxFF, 1.47, 1e-12);
  EXPECT_NE(host->expression("HRV_vFID").find(",0.55,1.05,1.03,1.47,"), std::string::npos) << host->expression("HRV_vFID");
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
}

// ---- Settings ----

class SettingsCommandTest : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    doc().set_settings_editor(&editor);
    add_regular_beats();
    analyse_whole_channel();
    host->view->select(kSelectionRange, {3500, 0}, {4500, 0});
    doc().DeleteBeatMarker();
    ASSERT_EQ(removed(doc()).size(), 1u);
    observer.take();
  }
  ScriptedEditor editor;
};

TEST_F(SettingsCommandTest, ChangingOnlyThePRRThresholdRecomputesAndKeepsTheEdits) {
  editor.edit = [](HRV::Settings& s) { s.PRRThresholdSec = 0.02; };
  doc().EditSettings();
  EXPECT_EQ(editor.offered, (std::vector<std::u16string>{u"ECG"}));
  EXPECT_EQ(doc().results().threshold, 0.02);
  EXPECT_EQ(removed(doc()).size(), 1u);
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
}

TEST_F(SettingsCommandTest, ChangingTheClassifierBoxClearsTheEditsBeforeRecomputing) {
  editor.edit = [](HRV::Settings& s) { s.MinRR = 0.5; };
  doc().EditSettings();
  EXPECT_TRUE(removed(doc()).empty());
  EXPECT_NE(host->expression("HRV_vFID").find(",0.5,1.2,"), std::string::npos) << host->expression("HRV_vFID");
  EXPECT_EQ(observer.take(), (Events{"about 5", "about 4", "changed 4"}));
}

TEST_F(SettingsCommandTest, SwitchingToTheSelectionStartsOverOnTheSelectedData) {
  host->view->select(kSelectionRange, {10500, 0}, {12500, 0});
  editor.edit = [](HRV::Settings& s) { s.AnalyseSelection = true; };
  doc().EditSettings();
  EXPECT_TRUE(removed(doc()).empty());
  EXPECT_EQ(doc().settings().region_start(), (TickPosition{10500, 0}));
  EXPECT_EQ(doc().results().beatCount, 2u);
}

TEST_F(SettingsCommandTest, CancellingOrChangingNothingLeavesTheAnalysisAlone) {
  const auto before = settings_bytes();
  editor.accept = false;
  editor.edit = [](HRV::Settings& s) { s.MinRR = 0.5; };
  doc().EditSettings();
  editor.accept = true;
  editor.edit = nullptr;
  doc().EditSettings();
  EXPECT_EQ(editor.shown, 2);
  EXPECT_EQ(settings_bytes(), before);
  EXPECT_EQ(removed(doc()).size(), 1u);
  EXPECT_TRUE(observer.take().empty());
}

// ---- Clear, reselect, toggles ----

TEST_F(DocumentTest, ClearAnalysisTakesEverythingAwayOnce) {
  add_regular_beats();
  analyse_whole_channel();
  host->view->select(kSelectionPoint, {1500, 0}, {1500, 0});
  doc().AddBeatMarker();
  observer.take();
  doc().ClearAnalysisCommand();
  EXPECT_FALSE(doc().region_set());
  EXPECT_EQ(doc().settings().region_start().tick, 0) << "the ticks stay, only the records are unset";
  EXPECT_TRUE(added(doc()).empty());
  EXPECT_TRUE(host->chart->children.empty());
  EXPECT_EQ(doc().results().beatCount, 0u);
  EXPECT_TRUE(std::isnan(doc().results().minRR));
  EXPECT_EQ(observer.take(), (Events{"about 5", "changed 5"}));
  EXPECT_FALSE(doc().ClearAnalysis(HRV::kChangeEverything, true));  // nothing left to clear
  EXPECT_TRUE(observer.take().empty());
}

TEST_F(DocumentTest, ReselectSelectsTheAnalysedRegionOnTheSourceChannel) {
  doc().settings().AnalyseSelection = true;
  doc().settings().SourceChannel = 2;
  host->view->select(kSelectionRange, {5000, 0}, {30000, 1});
  doc().Analyze();
  host->view->select(kSelectionPoint, {7, 0}, {7, 0});
  host->view->queries.clear();
  doc().ReselectAnalyzedData();
  ASSERT_EQ(host->view->queries.size(), 1u);
  EXPECT_EQ(host->view->queries[0].kindIn, kSelectionQueryStart);
  EXPECT_EQ(host->view->queries[0].lowIn, -std::numeric_limits<double>::max());
  EXPECT_EQ(host->view->queries[0].highIn, std::numeric_limits<double>::max());
  ASSERT_EQ(host->view->sets.size(), 1u);
  const auto& set = host->view->sets[0];
  EXPECT_EQ(set.start, (TickPosition{5000, 0}));
  EXPECT_EQ(set.end, (TickPosition{30000, 1}));
  EXPECT_EQ(set.channel, (ChannelId{2, ChannelId::kDefaultKind}));
  EXPECT_EQ(set.low, -32000.0);
  EXPECT_EQ(set.high, 32000.0);
}

TEST_F(DocumentTest, TogglesSwitchTheMarkersOnTheSourceAndTheSamplingSink) {
  add_regular_beats();
  analyse_whole_channel();
  ChannelId fiducial;
  ASSERT_TRUE(doc().detector().FiducialChannel(&fiducial));
  doc().ToggleBeatMarkers();
  EXPECT_FALSE(doc().settings().ShowMarkers);
  EXPECT_EQ(host->markers.count({fiducial.index, 0}), 0u);
  doc().ToggleBeatMarkers();
  EXPECT_EQ(host->markers.count({fiducial.index, 0}), 1u);

  doc().ToggleOnlineMode();
  EXPECT_TRUE(doc().settings().OnlineMode);
  EXPECT_EQ(host->samplingManager->sinks.size(), 1u);
  doc().ToggleOnlineMode();
  EXPECT_TRUE(host->samplingManager->sinks.empty());
  host->samplingManager = nullptr;  // a document that cannot sample
  doc().ToggleOnlineMode();
  EXPECT_TRUE(doc().settings().OnlineMode);
  EXPECT_FALSE(doc().sink_registered());
}

// ---- Host document operations ----

TEST_F(DocumentTest, AttachedNoticeRegistersAndRerunsTheStoredRegion) {
  add_regular_beats();
  HRV::AnalysisRegion::whole_channel({kTicksPerRecord, 1}).store_in(doc().settings());
  EXPECT_EQ(deliver(kMessageDocumentAttached, host->identity, host->identity + 1), S_FALSE);  // another document's
  EXPECT_TRUE(host->manager->clients.empty());
  EXPECT_EQ(deliver(kMessageDocumentAttached, host->identity, host->identity), S_OK);
  EXPECT_EQ(host->manager->names, (std::vector<std::string>{"HRV/HRV"}));
  EXPECT_EQ(host->manager->items.size(), 2u);
  EXPECT_EQ(doc().results().beatCount, 2u * 59u);
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
}

TEST_F(DocumentTest, AttachedNoticeDropsAStoredRegionTheHostNoLongerHolds) {
  HRV::AnalysisRegion::whole_channel({kTicksPerRecord, 1}).store_in(doc().settings());
  host->regionValid = false;
  EXPECT_EQ(deliver(kMessageDocumentAttached, host->identity, host->identity), S_OK);
  EXPECT_FALSE(doc().region_set());
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4", "about 5", "changed 5"}));
}

TEST_F(DocumentTest, LoadingAnEarlierFormatTellsTheHostService) {
  doc().settings().LoadedVersion = 6;
  EXPECT_EQ(doc().OnLoaded(), S_OK);
  EXPECT_TRUE(host->notices.empty());
  EXPECT_TRUE(app->boxes.empty()) << "a record within its ranges loads silently";
  doc().settings().LoadedVersion = 104;
  EXPECT_EQ(doc().OnLoaded(), S_OK);
  ASSERT_EQ(host->notices.size(), 1u);
  EXPECT_EQ(host->notices[0].first, make_guid("{F2A1CAB8-A683-410D-8307-9424303CFD13}"));
  EXPECT_EQ(host->notices[0].second, command_id(26));
}

// A stored record may hold anything; values the statistics would loop or allocate on are
// put back to their defaults before anything computes, and the user is told which.
TEST_F(DocumentTest, LoadedValuesOutsideTheirRangesAreResetAndNamed) {
  HRV::Settings& s = doc().settings();
  s.SDARRPeriodSec = 1e-300;
  s.FrequencyCount = std::numeric_limits<std::int32_t>::max();
  s.LowPassHz = std::nan("");
  s.PRRThresholdSec = 0.02;     // in range: kept
  s.MinFF = 1.4, s.MaxFF = 1.3;  // each in range, out of order
  EXPECT_EQ(doc().OnLoaded(), S_OK);
  const HRV::SettingsFields defaults;
  EXPECT_EQ(s.SDARRPeriodSec, defaults.SDARRPeriodSec);
  EXPECT_EQ(s.FrequencyCount, defaults.FrequencyCount);
  EXPECT_EQ(s.LowPassHz, defaults.LowPassHz);
  EXPECT_EQ(s.MinFF, defaults.MinFF);
  EXPECT_EQ(s.MaxFF, defaults.MaxFF);
  EXPECT_EQ(s.PRRThresholdSec, 0.02);
  EXPECT_TRUE(s.Dirty);
  ASSERT_EQ(app->boxes.size(), 1u);
  EXPECT_NE(app->boxes[0].text.find("SDARRPeriodSec, LowPassHz, FrequencyCount, MinFF, MaxFF"), std::string::npos)
      << app->boxes[0].text;
}

TEST_F(DocumentTest, CloseLetsGoOfTheHostAndTakesTheAnalysisApart) {
  add_regular_beats();
  deliver(kMessageDocumentAttached, host->identity, host->identity);
  doc().ToggleOnlineMode();
  analyse_whole_channel();
  EXPECT_EQ(doc().Close(), S_OK);
  EXPECT_TRUE(host->samplingManager->sinks.empty());
  EXPECT_TRUE(host->manager->clients.empty());
  EXPECT_TRUE(host->live_channels().empty());
  EXPECT_TRUE(host->chart->children.empty());
  EXPECT_FALSE(doc().region_set());
  EXPECT_EQ(observer.take(), (Events{"about 5"}));
}

TEST_F(DocumentTest, AnalysisManagerRequestsActOnlyWhenTheDocumentIsConcerned) {
  add_regular_beats();
  deliver(kMessageDocumentAttached, host->identity, host->identity);
  analyse_whole_channel();
  doc().ReportRegion(31);
  ASSERT_FALSE(host->manager->regions.empty());
  EXPECT_EQ(host->manager->regions.back().end, (TickPosition{kTicksPerRecord, 1}));
  EXPECT_EQ(host->manager->regions.back().argument, 31);
  host->manager->affected = false;
  EXPECT_EQ(doc().RequestClear(1), S_OK);
  EXPECT_TRUE(doc().region_set());
  host->manager->affected = true;
  EXPECT_EQ(doc().RequestReanalysis(1), S_OK);
  EXPECT_EQ(observer.take(), (Events{"about 4", "changed 4"}));
  EXPECT_EQ(doc().RequestClear(1), S_OK);
  EXPECT_FALSE(doc().region_set());
}

TEST_F(DocumentTest, FromFindsTheDocumentBehindItsInterfaceOnly) {
  EXPECT_EQ(HRV::Document::from(document.query<IOnlineDataSink>().get()), document.get());
  EXPECT_EQ(HRV::Document::from(static_cast<IHostDocument*>(host.get())), nullptr);
  EXPECT_EQ(HRV::Document::from(nullptr), nullptr);
}

}  // namespace
}  // namespace document_test
