// SPDX-License-Identifier: MIT
// The plot control driven by the probe document as a view drives it: the plot created, the
// markup kept as the engine reads it, the data pulled from the series, clicks and dragged
// lines reported back, copy, print and close.
#include "korvel/ui/plot_control.h"

#include "korvel/ui/ui_services.h"
#include "sdk/cpp/hresult_error.h"
#include "tests/korvel/services/probe_session.h"

namespace korvel::ui {
namespace {

using Lines = std::vector<std::string>;

class QuietCallbacks final : public ComObject<IPlotCallbacks> {
 public:
  HRESULT OnLinesDragged(const char16_t*, const double*, ULONG) override { return S_OK; }
  HRESULT OnMouseClick(const char16_t*, const char16_t*) override { return S_OK; }
};

class PlotControlTest : public services::test::ProbeSession {
 protected:
  void SetUp() override {
    ProbeSession::SetUp();
    ui = install_ui(*session);
  }
  PlotControl& plot() {
    PlotControl* p = ui.plots->find("probe_plot");
    EXPECT_NE(p, nullptr);
    return *p;
  }
  UiServices ui;
};

TEST_F(PlotControlTest, KeepsTheMarkupAsTheEngineReadsItAndPullsTheSeriesItNames) {
  const double first[] = {0.8, 0.85, 0.9};
  ASSERT_EQ(probe->AppendPlotValues(first, 3), E_UNEXPECTED);  // no plot yet
  ASSERT_EQ(probe->OpenPlot(u"probe_plot", u"tplot: { id: 'probe_plot', data: '$Probe_Series'[0:1:end] },\r\ntitle: 'it''s'"), S_OK);
  EXPECT_EQ(plot().commands()[0], "etch.make_plot('probe_plot').dblclick_ms(500);");
  EXPECT_EQ(plot().markup(), "tplot: { id: 'probe_plot', data: '$Probe_Series'[0:1:end] },\ntitle: 'it''s'");
  EXPECT_TRUE(plot().values("$Probe_Series").empty());
  EXPECT_EQ(plot().binding("probe_plot"), (std::pair<std::string, std::string>{"$Probe_Series", ""}));

  ASSERT_EQ(probe->AppendPlotValues(first, 3), S_OK);
  const double second[] = {0.95};
  ASSERT_EQ(probe->AppendPlotValues(second, 1), S_OK);
  EXPECT_EQ(plot().values("$Probe_Series"), (std::vector<float>{0.8f, 0.85f, 0.9f, 0.95f}));
  ASSERT_EQ(plot().data_changes().size(), 2u);
  EXPECT_EQ(plot().data_changes()[1].start, 2147483647);
  EXPECT_EQ(plot().commands().back(), "etch.get_plot('probe_plot').plotter_data_changed('probe_plot', 2147483647, 2147483647);");
}

TEST_F(PlotControlTest, ReportsClicksWithThePointsLabelAndDraggedLines) {
  ASSERT_EQ(probe->OpenPlot(u"probe_plot", u"tplot: { id: 'probe_plot' }"), S_OK);
  const double values[] = {1.0, 2.5};
  ASSERT_EQ(probe->AppendPlotValues(values, 2), S_OK);
  journal();
  EXPECT_EQ(plot().click("probe_plot", 1), S_OK);
  EXPECT_EQ(plot().click("probe_plot", 9), S_OK);  // past the end: no label
  EXPECT_EQ(plot().drag_lines("probe_plot", {0.04, 0.15}), S_OK);
  EXPECT_EQ(journal(), (Lines{"click probe_plot 1|2.5", "click probe_plot ", "lines probe_plot 0.04 0.15"}));
  EXPECT_THROW(plot().click("other", 0), HResultError);
}

TEST_F(PlotControlTest, CopiesPrintsAndRefusesEverythingOnceClosed) {
  ASSERT_EQ(probe->OpenPlot(u"probe_plot", u"histogram: { id: 'probe_plot' }"), S_OK);
  ASSERT_EQ(probe->CopyPlot(), S_OK);
  EXPECT_EQ(ui.clipboard->text(), "histogram: { id: 'probe_plot' }");
  PlotControl& p = plot();
  EXPECT_EQ(p.Print(u"Probe Plot"), S_OK);
  EXPECT_EQ(p.printed(), (std::vector<std::string>{"Probe Plot"}));
  double lo = 1, hi = 1;
  ASSERT_EQ(p.GetRange(1, &lo, &hi), S_OK);
  EXPECT_EQ(lo, 0.0);  // unset
  ASSERT_EQ(p.SetRange(1, -2.0, 2.0), S_OK);
  ASSERT_EQ(p.GetRange(1, &lo, &hi), S_OK);
  EXPECT_EQ(hi, 2.0);
  EXPECT_EQ(p.SetRange(2, 0, 1), E_INVALIDARG);
  EXPECT_EQ(p.RunScript(u"alert('x')"), E_INVALIDARG);
  EXPECT_EQ(p.RunScript(u"etch.get_plot('another').set_markup('')"), E_INVALIDARG);

  ASSERT_EQ(probe->ClosePlot(), S_OK);
  EXPECT_TRUE(p.closed());
  EXPECT_EQ(p.RunScript(u"etch.get_plot('probe_plot').set_markup('')"), E_UNEXPECTED);
  EXPECT_EQ(p.Copy(), E_UNEXPECTED);
}

TEST_F(PlotControlTest, TheServiceRefusesPlotIdsThatCannotBeQuoted) {
  auto callbacks = make_com<QuietCallbacks>();
  ComPtr<IPlotControl> control;
  EXPECT_EQ(ui.plots->CreatePlot(u"it's", callbacks.get(), control.put()), E_INVALIDARG);
  EXPECT_EQ(ui.plots->CreatePlot(u"", callbacks.get(), control.put()), E_INVALIDARG);
  EXPECT_EQ(ui.plots->CreatePlot(u"fine", nullptr, control.put()), E_POINTER);
  EXPECT_FALSE(control);
  ComPtr<IHostServices> services = frame->host_object().query<IHostServices>();
  ComPtr<IPlotControls> plots;
  ASSERT_EQ(services->GetService(IPlotControls::iid, plots.put_void()), S_OK);
  EXPECT_EQ(plots.get(), static_cast<IPlotControls*>(ui.plots.get()));
  ComPtr<IUnknown> nothing;
  EXPECT_EQ(services->GetService(IChartView::iid, nothing.put_void()), E_NOINTERFACE);
}

}  // namespace
}  // namespace korvel::ui
