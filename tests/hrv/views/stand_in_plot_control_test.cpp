// SPDX-License-Identifier: MIT
// The views against the stand-in host's plot control: the commands they send parse as the
// page would read them, the engine's pulls read the document's series through the
// enumerators, and the control's gestures reach the views.
#include <cmath>
#include <memory>

#include "document_fixture.h"
#include "hrv/views/plot_views.h"
#include "korvel/ui/plot_control.h"

namespace stand_in_plot_test {
namespace {

class StandInPlotTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    if (view) view->Close();
    view.reset();
    DocumentTest::TearDown();
  }
  template <class View, class... Args>
  korvel::ui::PlotControl& open(Args... args) {
    view = std::make_unique<View>(doc(), args...);
    view->SetUp({plots.get(), nullptr, &HRV::steady_markup_clock()});
    return *plots->controls().back();
  }

  ComPtr<korvel::ui::PlotControls> plots = make_com<korvel::ui::PlotControls>(make_com<korvel::ui::Clipboard>());
  std::unique_ptr<HRV::PlotView> view;
};

TEST_F(StandInPlotTest, TheEnginePullsTheTachogramInMillisecondsAndReadsTheMarkupBack) {
  add_regular_beats();
  analyse_whole_channel();
  korvel::ui::PlotControl& control = open<HRV::TachogramView>();
  EXPECT_EQ(control.markups(), 1);
  EXPECT_EQ(control.markup().rfind("topmargin: 40, rightmargin: 40, tplot: {id: 'hrv_tachogram_view', ", 0), 0u);
  const std::vector<float>& pulled = control.values("$HRV_Tachogram");
  ASSERT_EQ(pulled.size(), doc().results().rrSeries.size());
  for (std::size_t i = 0; i < pulled.size(); ++i)
    ASSERT_FLOAT_EQ(pulled[i], static_cast<float>(doc().results().rrSeries[i] * 1000.0)) << i;
  EXPECT_EQ(control.binding("hrv_tachogram_view"), (std::pair<std::string, std::string>{"$HRV_Tachogram", ""}));
}

TEST_F(StandInPlotTest, AClickOnTheStandInReachesTheViewWithThePointsLabel) {
  add_regular_beats();
  analyse_whole_channel();
  korvel::ui::PlotControl& control = open<HRV::PoincareView>();
  EXPECT_EQ(control.values("$HRV_Poincare_X").size(), doc().results().poincarePoints.size());
  ASSERT_EQ(control.click("hrv_poincare_view", 5), S_OK);
  const HRV::PlotPoint& p = doc().results().poincarePoints[5];
  ASSERT_EQ(host->view->shown.size(), 1u);
  EXPECT_EQ(host->view->shown[0], (TickPosition{p.tick, p.record}));
}

TEST_F(StandInPlotTest, DraggedBandLinesOnTheStandInMoveTheBands) {
  add_regular_beats();
  analyse_whole_channel();
  korvel::ui::PlotControl& control = open<HRV::SpectrumView>();
  ASSERT_EQ(control.drag_lines("spectrum_freq_bands", {0, 0.03, 0.03, 0.15, 0.15, 0.4}), S_OK);
  EXPECT_DOUBLE_EQ(doc().settings().VLFHighHz, 0.03);
  EXPECT_DOUBLE_EQ(doc().settings().HFHighHz, 0.4);
  EXPECT_NE(control.markup().find("positions: [[0, 0.03], [0.03, 0.15], [0.15, 0.4]]"), std::string::npos);
}

TEST_F(StandInPlotTest, DataChangedCommandsParseWithTheirStartAndCount) {
  korvel::ui::PlotControl& control = open<HRV::HistogramView>(HRV::HistogramKind::RR);
  view->AboutToChange(HRV::ChangeCode::OnlineData);
  view->Changed(HRV::ChangeCode::OnlineData);
  ASSERT_EQ(control.data_changes().size(), 1u);
  EXPECT_EQ(control.data_changes()[0].plotter, "hrv_rr_histogram_view");
  EXPECT_EQ(control.data_changes()[0].start, 0);
  EXPECT_EQ(control.data_changes()[0].count, 2147483647);
}

}  // namespace
}  // namespace stand_in_plot_test
