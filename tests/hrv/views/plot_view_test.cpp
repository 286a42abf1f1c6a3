// SPDX-License-Identifier: MIT
#include "hrv/views/plot_view.h"

#include <cmath>
#include <memory>

#include "document_fixture.h"
#include "fake_plot_control.h"
#include "hrv/views/markup_text.h"
#include "hrv/views/plot_views.h"

namespace plot_test {
namespace {

using HRV::ChangeCode;

class PlotViewTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    if (view) view->Close();
    view.reset();
    DocumentTest::TearDown();
  }

  template <class View, class... Args>
  View& open(Args... args) {
    auto v = std::make_unique<View>(doc(), args...);
    View& ref = *v;
    view = std::move(v);
    view->SetUp({plots.get(), nullptr, &clock});
    return ref;
  }
  FakePlotControl& control() { return *plots->last; }

  // Beats whose RR swings between 0.7 and 0.9 s.
  void add_varied_beats(int count) {
    double previous = std::nan("");
    double t = 1.0;
    for (int i = 0; i < count; ++i) {
      const double rr = 0.8 + 0.1 * std::sin(i * 0.7);
      t += rr;
      const auto tick = static_cast<std::int32_t>(t * 1000.0);
      host->beats.push_back({{tick % kTicksPerRecord, tick / kTicksPerRecord}, rr, rr - previous, 1.2, 0x300, i + 1});
      previous = rr;
    }
  }

  // One change as the document brackets it.
  void change(ChangeCode code) {
    view->AboutToChange(code);
    view->Changed(code);
  }

  ComPtr<FakePlotControls> plots = make_com<FakePlotControls>();
  ManualClock clock;
  std::unique_ptr<HRV::PlotView> view;
};

// ---- Opening a view ----

TEST_F(PlotViewTest, OpenedOnAnIdleAnalysisRegistersItsSeriesStoresRangesAndSendsMarkup) {
  add_varied_beats(100);
  analyse_whole_channel();
  open<HRV::TachogramView>();
  const std::size_t n = doc().results().rrSeries.size();

  EXPECT_EQ(control().plotId, "hrv_tachogram_view");
  ASSERT_EQ(control().sources.count("$HRV_Tachogram"), 1u);
  EXPECT_EQ(control().bindings["hrv_tachogram_view"], (FakePlotControl::Binding{"$HRV_Tachogram", "", 0}));
  EXPECT_EQ(control().ranges[0], (std::pair<double, double>{0.0, static_cast<double>(n)}));
  ASSERT_EQ(control().markups().size(), 1u);
  EXPECT_EQ(control().markups()[0].rfind("etch.get_plot('hrv_tachogram_view').set_markup('topmargin: 40, ", 0), 0u);
  EXPECT_FALSE(view->throttle_on());
  EXPECT_TRUE(view->up_to_date());
}

TEST_F(PlotViewTest, TheTachogramsMarkupCarriesTheAnalysisAndTheHostsColours) {
  add_regular_beats();  // 118 intervals of 1 s; the fake host draws every channel black
  analyse_whole_channel();
  open<HRV::TachogramView>();
  ASSERT_EQ(control().markups().size(), 1u);
  EXPECT_EQ(control().markups()[0],
            HRV::set_markup_command(
                "hrv_tachogram_view",
                "topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_tachogram_view', cursor: { readout: 'RR Interval {0} "
                "= {1} ms' }, xdata: [0:1:end], ydata: '$HRV_Tachogram' [0:1:2147483647], colour: #000000ff}, "
                "graticule: { colour:#c0c0c0ff }, xlabel: 'Interval Number', ylabel: 'RR Interval (ms)', "
                "fullrange_yscalemin: 1000,fullrange_yscalemax: 1000,fullrange_xscalemin: 0,fullrange_xscalemax: 118,"));
}

TEST_F(PlotViewTest, ThePoincareEllipseComesFromTheResults) {
  open<HRV::PoincareView>();
  // No included beats: mean RR, SD1 and SD2 are 0, so the ellipse sits at the origin.
  EXPECT_NE(control().markups().back().find("ellipse: {x:0, y:0, a:0, b:0, rotate: -45, "), std::string::npos);
  add_regular_beats();
  analyse_whole_channel();
  EXPECT_NE(control().markups().back().find("ellipse: {x:1000, y:1000, a:0, b:0, rotate: -45, "), std::string::npos)
      << control().markups().back();
}

TEST_F(PlotViewTest, OpenedWithoutAnAnalysisClearsThePlotsDataButSendsMarkup) {
  open<HRV::SpectrumView>();
  EXPECT_EQ(control().clears, 1);
  EXPECT_EQ(control().registrations, 0);
  EXPECT_EQ(control().markups().size(), 1u);
  // Nothing to compute ranges from but the defaults: [0, fmax] and [0, 525].
  EXPECT_EQ(control().ranges[0], (std::pair<double, double>{0.0, 0.5}));
  EXPECT_EQ(control().ranges[1], (std::pair<double, double>{0.0, 525.0}));
}

TEST_F(PlotViewTest, OpenedWhileSamplingTurnsTheThrottleOnAndSendsTheFirstMarkupAtOnce) {
  host->sampling = true;
  open<HRV::HistogramView>(HRV::HistogramKind::RR);
  EXPECT_TRUE(view->throttle_on());
  // The series is registered even though it is empty, so that sampled counts can arrive.
  EXPECT_EQ(control().sources.count("$HRV_RRHistogram"), 1u);
  EXPECT_EQ(control().clears, 0);
  EXPECT_EQ(control().markups().size(), 1u);
}

TEST_F(PlotViewTest, InitialRangesAreStoredOnlyWhereTheControlHasNone) {
  add_varied_beats(50);
  analyse_whole_channel();
  open<HRV::TachogramView>();
  control().ranges[0] = {0.0, 0.0};
  control().ranges[1] = {1.0, 2.0};
  change(ChangeCode::BeatEdit);  // initialises the ranges
  EXPECT_NE(control().ranges[0], (std::pair<double, double>{0.0, 0.0}));
  EXPECT_EQ(control().ranges[1], (std::pair<double, double>{1.0, 2.0}));
  change(ChangeCode::Analysis);  // applies them
  EXPECT_NE(control().ranges[1], (std::pair<double, double>{1.0, 2.0}));
}

// ---- The update cycle ----

TEST_F(PlotViewTest, OneRebuildPerAboutToChangeHoweverManyChangedFollow) {
  add_varied_beats(50);
  analyse_whole_channel();
  open<HRV::PoincareView>();
  const std::size_t before = control().markups().size();
  view->AboutToChange(ChangeCode::Analysis);
  EXPECT_FALSE(view->up_to_date());
  view->Changed(ChangeCode::Analysis);
  view->Changed(ChangeCode::Analysis);
  EXPECT_EQ(control().markups().size(), before + 1);
  // Without an AboutToChange nothing is rebuilt.
  view->Changed(ChangeCode::Cleared);
  EXPECT_EQ(control().markups().size(), before + 1);
}

TEST_F(PlotViewTest, TheDocumentsNotificationsReachTheView) {
  add_varied_beats(50);
  open<HRV::ClassifierView>();
  const std::size_t before = control().markups().size();
  analyse_whole_channel();  // AboutToChange and Changed with code 4
  EXPECT_EQ(control().markups().size(), before + 1);
  EXPECT_EQ(control().bindings["hrv_classifier_view"],
            (FakePlotControl::Binding{"$HRV_Classifier_Y", "$HRV_Classifier_X", 1}));
}

TEST_F(PlotViewTest, UpdateFlagsFollowTheChangeCode) {
  open<HRV::SpectrumView>();
  const std::pair<ChangeCode, std::uint32_t> expected[] = {
      {ChangeCode::OnlineRestart, 0x26}, {ChangeCode::OnlineData, 0x40}, {ChangeCode::OnlineEnded, 0x40},
      {ChangeCode::SamplingStopped, 0x30}, {ChangeCode::Analysis, 0x31}, {ChangeCode::Cleared, 0x21},
      {ChangeCode::BeatEdit, 0x25}};
  for (const auto& [code, flags] : expected) {
    std::uint32_t actual = 0;
    view->UpdateFlagsFor(code, actual);
    EXPECT_EQ(actual, flags) << "code " << static_cast<int>(code);
  }
}

TEST_F(PlotViewTest, HistogramsAlsoResetRangesAndOfferMarkupOnSampledUpdates) {
  HRV::HistogramView histogram(doc(), HRV::HistogramKind::DeltaRR);
  std::uint32_t flags = 0;
  histogram.UpdateFlagsFor(ChangeCode::OnlineData, flags);
  EXPECT_EQ(flags, 0x68u);
  flags = 0;
  histogram.UpdateFlagsFor(ChangeCode::Analysis, flags);
  EXPECT_EQ(flags, 0x31u);
}

TEST_F(PlotViewTest, DataChangedCarriesTheStartOfTheDataMode) {
  open<HRV::TachogramView>();
  change(ChangeCode::OnlineData);
  ASSERT_EQ(control().data_changes().size(), 1u);
  EXPECT_EQ(control().data_changes()[0],
            "etch.get_plot('hrv_tachogram_view').plotter_data_changed('hrv_tachogram_view', 2147483647, 2147483647);");
  view->Close();
  open<HRV::SpectrumView>();
  change(ChangeCode::OnlineData);
  ASSERT_EQ(control().data_changes().size(), 1u);
  EXPECT_EQ(control().data_changes()[0],
            "etch.get_plot('hrv_spectrum_view').plotter_data_changed('hrv_spectrum_view', 0, 2147483647);");
}

TEST_F(PlotViewTest, TheTachogramsAxisGrowsInStepsWhileSampling) {
  host->sampling = true;
  open<HRV::TachogramView>();  // x range [0, 500]
  const std::size_t before = control().markups().size();
  clock.advance_seconds(1.0);
  change(ChangeCode::OnlineData);  // still no intervals: the same range, no markup
  EXPECT_EQ(control().markups().size(), before);
  EXPECT_EQ(control().data_changes().size(), 1u);
}

// ---- The throttle ----

TEST_F(PlotViewTest, WhileSamplingMarkupsFasterThanTheIntervalAreDropped) {
  host->sampling = true;
  open<HRV::HistogramView>(HRV::HistogramKind::RR);  // code 0: sent, throttle on
  ASSERT_EQ(control().markups().size(), 1u);
  clock.advance_seconds(1.0);
  change(ChangeCode::OnlineData);  // 1 s after: dropped
  EXPECT_EQ(control().markups().size(), 1u);
  clock.advance_seconds(1.5);
  change(ChangeCode::OnlineData);  // 2.5 s after the last one sent: sent
  EXPECT_EQ(control().markups().size(), 2u);
  clock.advance_seconds(0.1);
  change(ChangeCode::OnlineData);
  EXPECT_EQ(control().markups().size(), 2u);
  // The end of the online analysis turns the throttle off: every markup goes out.
  change(ChangeCode::OnlineEnded);
  EXPECT_FALSE(view->throttle_on());
  change(ChangeCode::SamplingStopped);
  change(ChangeCode::Analysis);
  EXPECT_EQ(control().markups().size(), 5u);
}

TEST_F(PlotViewTest, ARestartOfSamplingSendsItsFirstMarkupWhateverTheClockSays) {
  host->sampling = true;
  open<HRV::SpectrumView>();
  change(ChangeCode::OnlineRestart);  // at the same instant as the opening markup
  EXPECT_EQ(control().markups().size(), 2u);
}

TEST_F(PlotViewTest, NotificationEightResendsTheMarkupAndOthersDoNothing) {
  open<HRV::PoincareView>();
  view->OnDataNotification(4);
  EXPECT_EQ(control().markups().size(), 1u);
  view->OnDataNotification(8);
  EXPECT_EQ(control().markups().size(), 2u);
}

// ---- Copy, print and menu texts ----

TEST_F(PlotViewTest, CopyAndPrintGoToThePlotControlWithTheTitle) {
  open<HRV::PoincareView>();
  view->Copy();
  view->Print();
  EXPECT_EQ(control().copies, 1);
  EXPECT_EQ(control().printed, (std::vector<std::string>{"HRV Poincar\u00e9 Plot"}));
  EXPECT_EQ(view->CopyMenuText(), "Copy HRV Poincar\u00e9 Plot");
  EXPECT_EQ(view->PrintMenuText(), "Print HRV Poincar\u00e9 Plot");
  EXPECT_EQ(HRV::TachogramView(doc()).CopyMenuText(), "Copy HRV Tachogram Plot");
  EXPECT_EQ(HRV::HistogramView(doc(), HRV::HistogramKind::DeltaRR).PrintMenuText(), "Print HRV Delta RR Histogram Plot");
}

TEST_F(PlotViewTest, ClosingLetsGoOfTheControlAndTheDocument) {
  open<HRV::TachogramView>();
  ComPtr<FakePlotControl> kept = plots->last;
  view->Close();
  EXPECT_TRUE(kept->closed);
  const std::size_t before = kept->commands.size();
  analyse_whole_channel();
  EXPECT_EQ(kept->commands.size(), before);
}

// ---- Gestures ----

TEST_F(PlotViewTest, DraggingTheBandLinesMovesTheBandsAndRecomputesTheirPowers) {
  add_varied_beats(150);
  analyse_whole_channel();
  open<HRV::SpectrumView>();
  const double lfBefore = doc().results().spectrum.lfPower;
  ASSERT_EQ(control().drag_lines(u"spectrum_freq_bands", {0, 0.04, 0.04, 0.2, 0.2, 0.45}), S_OK);

  EXPECT_DOUBLE_EQ(doc().settings().LFHighHz, 0.2);
  EXPECT_DOUBLE_EQ(doc().settings().HFLowHz, 0.2);
  EXPECT_EQ(observer.take(), (std::vector<std::string>{"about 6", "changed 6"}));
  const HRV::PowerSpectrum& p = doc().results().spectrum;
  const double duration = doc().results().timeSeries.back() - doc().results().timeSeries.front();
  // The band power is the sum the core computes; only the band edges changed.
  EXPECT_DOUBLE_EQ(p.lfPower, HRV::BandPower(p, 0.04, 0.2, duration));
  EXPECT_NE(p.lfPower, lfBefore);
  EXPECT_NE(control().markups().back().find("positions: [[0, 0.04], [0.04, 0.2], [0.2, 0.45]]"), std::string::npos);
}

TEST_F(PlotViewTest, BandDragsFromAnotherPlotterOrWithTooFewLinesAreIgnored) {
  add_varied_beats(50);
  analyse_whole_channel();
  open<HRV::SpectrumView>();
  control().drag_lines(u"other", {0, 0.04, 0.04, 0.2, 0.2, 0.45});
  control().drag_lines(u"spectrum_freq_bands", {0, 0.04, 0.04, 0.2, 0.2});
  EXPECT_DOUBLE_EQ(doc().settings().LFHighHz, 0.15);
  EXPECT_TRUE(observer.take().empty());
}

TEST_F(PlotViewTest, ABandDragWhileSamplingChangesTheSettingsOnly) {
  add_varied_beats(50);
  analyse_whole_channel();
  open<HRV::SpectrumView>();
  host->sampling = true;
  control().drag_lines(u"spectrum_freq_bands", {0, 0.05, 0.05, 0.15, 0.15, 0.45});
  EXPECT_DOUBLE_EQ(doc().settings().VLFHighHz, 0.05);
  EXPECT_TRUE(observer.take().empty());
}

TEST_F(PlotViewTest, DraggingTheClassifierBoxClampsItAndClassifiesTheBeatsAgain) {
  add_varied_beats(100);
  analyse_whole_channel();
  open<HRV::ClassifierView>();
  ASSERT_EQ(control().resize_box(u"classifier_box", {-50, 70000, -1, 12}), S_OK);
  const HRV::Settings& s = doc().settings();
  EXPECT_DOUBLE_EQ(s.MinRR, 0.0);
  EXPECT_DOUBLE_EQ(s.MaxRR, 60.0);
  EXPECT_DOUBLE_EQ(s.MinFF, 0.0);
  EXPECT_DOUBLE_EQ(s.MaxFF, 10.0);
  EXPECT_EQ(observer.take(), (std::vector<std::string>{"about 6", "changed 6"}));
  // The fiducial stage was redefined with the new box.
  EXPECT_NE(host->expression("HRV_vFID").find("0.08,0,0,60,0,10,"), std::string::npos) << host->expression("HRV_vFID");
  EXPECT_NE(control().markups().back().find("range_x: { min:0, max:60000}, range_y: { min:0, max:10}"),
            std::string::npos);
}

TEST_F(PlotViewTest, OtherBoxesAndShortReportsLeaveTheClassifierBoxAlone) {
  open<HRV::ClassifierView>();
  control().resize_box(u"another_box", {0, 1000, 0, 2});
  control().resize_box(u"classifier_box", {0, 1000, 0});
  EXPECT_DOUBLE_EQ(doc().settings().MaxRR, 1.2);
  EXPECT_DOUBLE_EQ(doc().settings().MaxFF, 1.5);
}

TEST_F(PlotViewTest, ClickingAPointShowsItsBeatInTheChart) {
  add_varied_beats(100);
  analyse_whole_channel();
  const HRV::PlotPoint beat = doc().results().poincarePoints.at(3);
  open<HRV::TachogramView>();
  control().click(u"hrv_tachogram_view", u"3\t812.5");
  ASSERT_EQ(host->view->shown.size(), 1u);
  EXPECT_EQ(host->view->shown[0], (TickPosition{beat.tick, beat.record}));

  control().click(u"hrv_tachogram_view", u"");
  control().click(u"hrv_tachogram_view", u"100000\t1");
  EXPECT_EQ(host->view->shown.size(), 1u);

  view->Close();
  open<HRV::PoincareView>();
  control().click(u"hrv_poincare_view", u"1\t2500");
  ASSERT_EQ(host->view->shown.size(), 2u);
  EXPECT_EQ(host->view->shown[1], (TickPosition{2500, 1}));
  control().click(u"hrv_poincare_view", u"");
  EXPECT_EQ(host->view->shown.size(), 2u);
}

TEST_F(PlotViewTest, ClicksShowNothingWhileBeatMarkersAreHidden) {
  add_varied_beats(20);
  analyse_whole_channel();
  doc().settings().ShowMarkers = false;
  open<HRV::ClassifierView>();
  control().click(u"hrv_classifier_view", u"0\t2500");
  EXPECT_TRUE(host->view->shown.empty());
}

}  // namespace
}  // namespace plot_test
