// SPDX-License-Identifier: MIT
#include "hrv/views/plot_view.h"

#include <memory>

#include "document_fixture.h"
#include "fake_plot_control.h"
#include "hrv/views/markup_text.h"
#include "hrv/views/plot_views.h"

namespace plot_test {
namespace {

using HRV::ChangeCode;
using Range = std::pair<double, double>;

class PlotViewTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    if (view) view->Close();
    view.reset();
    DocumentTest::TearDown();
  }
  template <class View, class... Args>
  FakePlotControl& open(Args... args) {
    if (view) view->Close();
    view = std::make_unique<View>(doc(), args...);
    view->SetUp({plots.get(), nullptr, &clock});
    return *plots->last;
  }
  FakePlotControl& control() { return *plots->last; }
  // One change as the document brackets it, `seconds` after the previous one.
  void change(ChangeCode code, double seconds = 0.0) {
    clock.ticks += static_cast<std::uint64_t>(seconds * 1000);
    view->AboutToChange(code);
    view->Changed(code);
  }

  ComPtr<FakePlotControls> plots = make_com<FakePlotControls>();
  ManualClock clock;
  std::unique_ptr<HRV::PlotView> view;
};

// ---- Opening a view ----

TEST_F(PlotViewTest, OpenedOnAnAnalysisRegistersItsSeriesStoresRangesAndSendsTheMarkup) {
  add_regular_beats();  // 118 intervals of 1 s; the fake host draws every channel black
  analyse_whole_channel();
  open<HRV::TachogramView>();
  EXPECT_EQ(control().plotId, "hrv_tachogram_view");
  EXPECT_EQ(control().sources.count("$HRV_Tachogram"), 1u);
  EXPECT_EQ(control().bindings["hrv_tachogram_view"], "$HRV_Tachogram over '', 0");
  EXPECT_EQ(control().ranges[0], (Range{0.0, 118.0}));
  EXPECT_EQ(control().markups,
            std::vector<std::string>{HRV::set_markup_command(
                "hrv_tachogram_view",
                "topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_tachogram_view', cursor: { readout: 'RR Interval {0} "
                "= {1} ms' }, xdata: [0:1:end], ydata: '$HRV_Tachogram' [0:1:2147483647], colour: #000000ff}, "
                "graticule: { colour:#c0c0c0ff }, xlabel: 'Interval Number', ylabel: 'RR Interval (ms)', "
                "fullrange_yscalemin: 1000,fullrange_yscalemax: 1000,fullrange_xscalemin: 0,fullrange_xscalemax: 118,")});
  EXPECT_FALSE(view->throttle_on());
  EXPECT_TRUE(view->up_to_date());
}

TEST_F(PlotViewTest, ThePoincareEllipseAndTheClassifierBindingComeFromTheResults) {
  open<HRV::PoincareView>();
  // No included beats: mean RR, SD1 and SD2 are undefined, so there is no ellipse.
  EXPECT_EQ(control().markups.back().find("ellipse:"), std::string::npos) << control().markups.back();
  add_regular_beats();
  analyse_whole_channel();
  EXPECT_NE(control().markups.back().find("ellipse: {x:1000, y:1000, a:0, b:0, rotate: -45, "), std::string::npos)
      << control().markups.back();
  open<HRV::ClassifierView>();
  EXPECT_EQ(control().bindings["hrv_classifier_view"], "$HRV_Classifier_Y over '$HRV_Classifier_X', 1");
}

TEST_F(PlotViewTest, OpenedWithoutAnAnalysisClearsThePlotsDataButSendsTheMarkupWithDefaultRanges) {
  open<HRV::SpectrumView>();
  EXPECT_EQ(control().clears, 1);
  EXPECT_TRUE(control().sources.empty());
  EXPECT_EQ(control().markups.size(), 1u);
  EXPECT_EQ(control().ranges, (std::vector<Range>{{0.0, 0.5}, {0.0, 525.0}}));
}

TEST_F(PlotViewTest, InitialRangesAreStoredOnlyWhereTheControlHasNone) {
  add_varied_beats(50);
  analyse_whole_channel();
  open<HRV::TachogramView>();
  control().ranges = {{0.0, 0.0}, {1.0, 2.0}};
  change(ChangeCode::BeatEdit);  // initialises the ranges
  EXPECT_NE(control().ranges[0], (Range{0.0, 0.0}));
  EXPECT_EQ(control().ranges[1], (Range{1.0, 2.0}));
  change(ChangeCode::Analysis);  // applies them
  EXPECT_NE(control().ranges[1], (Range{1.0, 2.0}));
}

// ---- The update cycle and the throttle ----

TEST_F(PlotViewTest, OneRebuildPerAboutToChangeHoweverManyChangedFollow) {
  add_varied_beats(50);
  open<HRV::PoincareView>();
  analyse_whole_channel();  // the document's own notifications
  EXPECT_EQ(control().markups.size(), 2u);
  view->AboutToChange(ChangeCode::Analysis);
  EXPECT_FALSE(view->up_to_date());
  view->Changed(ChangeCode::Analysis);
  view->Changed(ChangeCode::Analysis);
  view->Changed(ChangeCode::Cleared);  // without an AboutToChange nothing is rebuilt
  EXPECT_EQ(control().markups.size(), 3u);
  view->OnDataNotification(4);
  EXPECT_EQ(control().markups.size(), 3u);
  view->OnDataNotification(8);  // the host's colours changed
  EXPECT_EQ(control().markups.size(), 4u);
}

TEST_F(PlotViewTest, DataChangedCarriesTheStartOfTheDataMode) {
  open<HRV::TachogramView>();
  change(ChangeCode::OnlineData);
  EXPECT_EQ(control().others, (std::vector<std::string>{"etch.get_plot('hrv_tachogram_view').plotter_data_changed("
                                                        "'hrv_tachogram_view', 2147483647, 2147483647);"}));
  open<HRV::SpectrumView>();
  change(ChangeCode::OnlineData);
  EXPECT_EQ(control().others, (std::vector<std::string>{"etch.get_plot('hrv_spectrum_view').plotter_data_changed("
                                                        "'hrv_spectrum_view', 0, 2147483647);"}));
}

TEST_F(PlotViewTest, WhileSamplingMarkupsFasterThanTheIntervalAreDropped) {
  host->sampling = true;
  open<HRV::HistogramView>(HRV::HistogramKind::RR);
  EXPECT_TRUE(view->throttle_on());
  EXPECT_EQ(control().sources.count("$HRV_RRHistogram"), 1u) << "registered empty, so that sampled counts can arrive";
  ASSERT_EQ(control().markups.size(), 1u);  // the first one at once
  change(ChangeCode::OnlineData, 1.0);      // 1 s after: dropped
  EXPECT_EQ(control().markups.size(), 1u);
  change(ChangeCode::OnlineData, 1.5);  // 2.5 s after the last one sent: sent
  EXPECT_EQ(control().markups.size(), 2u);
  change(ChangeCode::OnlineData, 0.1);
  EXPECT_EQ(control().markups.size(), 2u);
  change(ChangeCode::OnlineRestart);  // a restart sends its first markup whatever the clock says
  EXPECT_EQ(control().markups.size(), 3u);
  // The end of the online analysis turns the throttle off: every markup goes out.
  change(ChangeCode::OnlineEnded);
  EXPECT_FALSE(view->throttle_on());
  change(ChangeCode::SamplingStopped);
  change(ChangeCode::Analysis);
  EXPECT_EQ(control().markups.size(), 6u);

  open<HRV::TachogramView>();  // x range [0, 500] while sampling
  change(ChangeCode::OnlineData, 3.0);  // still no intervals: the same range, no markup
  EXPECT_EQ(control().markups.size(), 1u);
}

// ---- Copy, print, close ----

TEST_F(PlotViewTest, CopyAndPrintGoToThePlotControlWithTheTitle) {
  open<HRV::PoincareView>();
  view->Copy();
  view->Print();
  EXPECT_EQ(control().others, (std::vector<std::string>{"copy", "print HRV Poincar\u00e9 Plot"}));
  EXPECT_EQ(view->CopyMenuText(), "Copy HRV Poincar\u00e9 Plot");
  EXPECT_EQ(view->PrintMenuText(), "Print HRV Poincar\u00e9 Plot");
  EXPECT_EQ(HRV::HistogramView(doc(), HRV::HistogramKind::DeltaRR).PrintMenuText(), "Print HRV Delta RR Histogram Plot");
}

TEST_F(PlotViewTest, ClosingLetsGoOfTheControlAndTheDocument) {
  FakePlotControl& kept = open<HRV::TachogramView>();
  view->Close();
  EXPECT_TRUE(kept.closed);
  analyse_whole_channel();
  EXPECT_EQ(kept.markups.size(), 1u);
}

// ---- Gestures ----

TEST_F(PlotViewTest, DraggingTheBandLinesMovesTheBandsAndRecomputesTheirPowers) {
  add_varied_beats(150);
  analyse_whole_channel();
  open<HRV::SpectrumView>();
  const double lfBefore = doc().results().spectrum().lfPower;
  control().drag_lines(u"other", {0, 0.04, 0.04, 0.2, 0.2, 0.45});        // another plotter's lines
  control().drag_lines(u"spectrum_freq_bands", {0, 0.04, 0.04, 0.2, 0.2});  // too few
  EXPECT_TRUE(observer.take().empty());
  ASSERT_EQ(control().drag_lines(u"spectrum_freq_bands", {0, 0.04, 0.04, 0.2, 0.2, 0.45}), S_OK);
  EXPECT_DOUBLE_EQ(doc().settings().LFHighHz, 0.2);
  EXPECT_DOUBLE_EQ(doc().settings().HFLowHz, 0.2);
  EXPECT_EQ(observer.take(), (document_test::Events{"about 6", "changed 6"}));
  const HRV::PowerSpectrum& p = doc().results().spectrum();
  const double duration = doc().results().timeSeries.back() - doc().results().timeSeries.front();
  EXPECT_DOUBLE_EQ(p.lfPower, HRV::BandPower(p, 0.04, 0.2, duration));  // only the band edges changed
  EXPECT_NE(p.lfPower, lfBefore);
  EXPECT_NE(control().markups.back().find("positions: [[0, 0.04], [0.04, 0.2], [0.2, 0.45]]"), std::string::npos);
  // While the host samples only the settings change.
  host->sampling = true;
  control().drag_lines(u"spectrum_freq_bands", {0, 0.05, 0.05, 0.15, 0.15, 0.45});
  EXPECT_DOUBLE_EQ(doc().settings().VLFHighHz, 0.05);
  EXPECT_TRUE(observer.take().empty());
}

TEST_F(PlotViewTest, DraggingTheClassifierBoxClampsItAndClassifiesTheBeatsAgain) {
  add_varied_beats(100);
  analyse_whole_channel();
  open<HRV::ClassifierView>();
  control().resize_box(u"another_box", {0, 1000, 0, 2});
  control().resize_box(u"classifier_box", {0, 1000, 0});  // too short
  EXPECT_TRUE(observer.take().empty());
  ASSERT_EQ(control().resize_box(u"classifier_box", {-50, 70000, -1, 12}), S_OK);
  const HRV::Settings& s = doc().settings();
  EXPECT_EQ((std::vector<double>{s.MinRR, s.MaxRR, s.MinFF, s.MaxFF}), (std::vector<double>{0.0, 60.0, 0.0, 10.0}));
  EXPECT_EQ(observer.take(), (document_test::Events{"about 6", "changed 6"}));
  EXPECT_NE(host->expression("HRV_vFID").find("0.08,0,0,60,0,10,"), std::string::npos) << host->expression("HRV_vFID");
  EXPECT_NE(control().markups.back().find("range_x: { min:0, max:60000}, range_y: { min:0, max:10}"), std::string::npos);
}

TEST_F(PlotViewTest, ClickingAPointShowsItsBeatUnlessTheMarkersAreHidden) {
  add_varied_beats(100);
  analyse_whole_channel();
  const HRV::PlotPoint beat = doc().results().poincarePoints.at(3);
  open<HRV::TachogramView>();
  control().click(u"hrv_tachogram_view", u"3\t812.5");  // the label names the index
  control().click(u"hrv_tachogram_view", u"");
  control().click(u"hrv_tachogram_view", u"100000\t1");
  open<HRV::PoincareView>();
  control().click(u"hrv_poincare_view", u"1\t2500");  // the label names record and tick
  control().click(u"hrv_poincare_view", u"");
  EXPECT_EQ(host->view->shown, (std::vector<TickPosition>{{beat.tick, beat.record}, {2500, 1}}));
  doc().settings().ShowMarkers = false;
  control().click(u"hrv_poincare_view", u"0\t2500");
  EXPECT_EQ(host->view->shown.size(), 2u);
}

}  // namespace
}  // namespace plot_test
