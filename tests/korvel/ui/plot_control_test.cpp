// SPDX-License-Identifier: MIT
// The plot control driven as a view drives it (the plot created, the markup kept as the
// engine reads it, the data pulled from a registered series, clicks and dragged lines
// reported back, copy, print and close) and as the page reaches it (blocks of a series and
// point labels, gestures delivered to the view's callbacks, messages it cannot serve
// answered with an error, and the page that opens from a file carrying all of it).
#include "korvel/ui/plot_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include <nlohmann/json.hpp>

#include "korvel/ui/plot_snapshot.h"
#include "korvel/ui/ui_services.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::ui {
namespace {

using nlohmann::json;
using Values = std::shared_ptr<std::vector<double>>;

// A series over shared values with a cursor of its own; labels "index|value</script>", a
// text that must not end the script element of a page that carries it.
class Series final : public ComObject<IPlotData> {
 public:
  explicit Series(Values values, std::int32_t position = 0) : values_(std::move(values)), position_(position) {}
  HRESULT Next(ULONG count, float* out, ULONG* fetched) override {
    const auto n = static_cast<ULONG>(std::clamp<std::int64_t>(std::ssize(*values_) - position_, 0, count));
    std::transform(values_->begin() + position_, values_->begin() + position_ + n, out, [](double v) { return static_cast<float>(v); });
    position_ += static_cast<std::int32_t>(n);
    *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(std::int32_t count, std::int32_t* moved) override {
    const auto to = static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{position_} + count, 0, std::ssize(*values_)));
    if (moved) *moved = to - position_;
    const bool all = to - position_ == count;
    position_ = to;
    return all ? S_OK : S_FALSE;
  }
  HRESULT GetPosition(std::int32_t* position) override { return copy_out(position_, position); }
  HRESULT Clone(IPlotData** copy) override { return (*copy = make_com<Series>(values_, position_).detach()), S_OK; }
  HRESULT GetCount(ULONG* count) override { return copy_out(static_cast<ULONG>(values_->size()), count); }
  HRESULT GetRange(double* min, double* max) override {
    if (values_->empty()) return S_FALSE;
    std::tie(*min, *max) = std::pair(*std::min_element(values_->begin(), values_->end()), *std::max_element(values_->begin(), values_->end()));
    return S_OK;
  }
  HRESULT GetId(BSTR* id) override { return copy_text(std::u16string_view(u"$Series"), id); }
  HRESULT GetLabel(ULONG index, BSTR* label) override {
    *label = nullptr;
    return index < values_->size() ? copy_text(std::to_string(index) + "|" + std::to_string((*values_)[index]) + "</script>", label)
                                   : S_FALSE;
  }

 private:
  Values values_;
  std::int32_t position_;
};

// Writes what the plot reports into a journal.
class Callbacks final : public ComObject<IPlotCallbacks, IPlotBoxCallbacks> {
 public:
  HRESULT OnLinesDragged(const char16_t* plotter, const double* positions, ULONG count) override {
    return note("lines", plotter, positions, count);
  }
  HRESULT OnBoxResized(const char16_t* box, const double* edges, ULONG count) override { return note("box", box, edges, count); }
  HRESULT OnMouseClick(const char16_t* plotter, const char16_t* label) override {
    return journal.push_back("click " + utf16_to_utf8(plotter) + " " + utf16_to_utf8(label)), S_OK;
  }
  std::vector<std::string> journal;

 private:
  HRESULT note(const char* what, const char16_t* id, const double* values, ULONG count) {
    std::string line = std::string(what).append(" ").append(utf16_to_utf8(id));
    for (ULONG i = 0; i < count; ++i) line.append(" ").append(std::to_string(values[i]));
    return journal.push_back(line), S_OK;
  }
};

class PlotControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ui.plots->CreatePlot(u"p", callbacks.get(), control.put()), S_OK);
    ASSERT_EQ(control->RegisterData(u"$Series", make_com<Series>(values).get()), S_OK);
    ASSERT_EQ(control->BindPlotter(u"$Series", u"", u"p", 0), S_OK);
  }
  HRESULT append(std::vector<double> more) {
    values->insert(values->end(), more.begin(), more.end());
    return control->RunScript(u"etch.get_plot('p').plotter_data_changed('p', 2147483647, 2147483647);");
  }
  PlotControl& plot() { return *ui.plots->find("p"); }

  std::unique_ptr<services::Session> session = std::make_unique<services::Session>(make_com<app::Application>());
  UiServices ui = install_ui(*session);
  ComPtr<Callbacks> callbacks = make_com<Callbacks>();
  Values values = std::make_shared<std::vector<double>>();
  ComPtr<IPlotControl> control;
};

TEST_F(PlotControlTest, KeepsTheMarkupAsTheEngineReadsItAndPullsTheSeriesItNames) {
  ASSERT_EQ(control->RunScript(u"etch.get_plot('p').set_markup('tplot: { id: \\'p\\' },\\n\\\r\ntitle: \\'it\\'\\'s\\'');"), S_OK);
  EXPECT_EQ(plot().commands()[0], "etch.make_plot('p').dblclick_ms(500);");
  EXPECT_EQ(plot().markup(), "tplot: { id: 'p' },\ntitle: 'it''s'");
  EXPECT_TRUE(plot().values("$Series").empty());
  EXPECT_EQ(plot().binding("p"), (std::pair<std::string, std::string>{"$Series", ""}));

  ASSERT_EQ(append({0.8, 0.85, 0.9}), S_OK);
  ASSERT_EQ(append({0.95}), S_OK);
  EXPECT_EQ(plot().values("$Series"), (std::vector<float>{0.8f, 0.85f, 0.9f, 0.95f}));
  ASSERT_EQ(plot().data_changes().size(), 2u);
  EXPECT_EQ(plot().data_changes()[1].start, 2147483647);
}

TEST_F(PlotControlTest, ReportsClicksWithThePointsLabelAndDraggedLines) {
  ASSERT_EQ(append({1.0, 2.5}), S_OK);
  EXPECT_EQ(plot().click("p", 1), S_OK);
  EXPECT_EQ(plot().click("p", 9), S_OK);  // past the end: no label
  EXPECT_EQ(plot().drag_lines("p", {0.04, 0.15}), S_OK);
  EXPECT_EQ(callbacks->journal, (std::vector<std::string>{"click p 1|2.500000</script>", "click p ", "lines p 0.040000 0.150000"}));
  EXPECT_THROW(plot().click("other", 0), HResultError);
}

TEST_F(PlotControlTest, CopiesItsMarkupAndRefusesForeignOrLateScripts) {
  ASSERT_EQ(control->RunScript(u"etch.get_plot('p').set_markup('histogram: { id: p }')"), S_OK);
  ASSERT_EQ(control->Copy(), S_OK);
  EXPECT_EQ(ui.clipboard->text(), "histogram: { id: p }");
  EXPECT_EQ(control->RunScript(u"alert('x')"), E_INVALIDARG);
  EXPECT_EQ(control->RunScript(u"etch.get_plot('another').set_markup('')"), E_INVALIDARG);
  EXPECT_EQ(control->Close(), S_OK);
  EXPECT_TRUE(plot().closed());
  EXPECT_EQ(control->RunScript(u"etch.get_plot('p').set_markup('')"), E_UNEXPECTED);
  EXPECT_EQ(control->Copy(), E_UNEXPECTED);
}

TEST_F(PlotControlTest, TheServiceIsOfferedToDocumentsAndRefusesPlotIdsThatCannotBeQuoted) {
  ComPtr<IPlotControl> other;
  EXPECT_EQ(ui.plots->CreatePlot(u"it's", callbacks.get(), other.put()), E_INVALIDARG);
  EXPECT_EQ(ui.plots->CreatePlot(u"", callbacks.get(), other.put()), E_INVALIDARG);
  EXPECT_EQ(ui.plots->CreatePlot(u"fine", nullptr, other.put()), E_POINTER);
  EXPECT_FALSE(other);
  auto& frame = session->open(doc::Document(korvel::test::synthetic_recording(korvel::test::synthetic_ecg(1, 500, 1), 500)));
  ComPtr<IPlotControls> plots;
  ASSERT_EQ(frame.host_object().query<IHostServices>()->GetService(IPlotControls::iid, plots.put_void()), S_OK);
  EXPECT_EQ(plots.get(), static_cast<IPlotControls*>(ui.plots.get()));
}

// ---- As the page reaches it ----

class PlotPageTest : public PlotControlTest {
 protected:
  void SetUp() override {
    PlotControlTest::SetUp();
    *values = {3.5, -1.0, 0.1, NAN, 2.0};
    ASSERT_EQ(control->RunScript(u"etch.get_plot('p').set_markup('tplot: {id: \\'p\\', ydata: \\'$Series\\' [0:1:end]},');"), S_OK);
  }
  json ask(const json& message) { return json::parse(plot().answer(message.dump())); }
};

TEST_F(PlotPageTest, SeriesAndLabelsComeInTheBlocksAsked) {
  // {start, count} -> values of the block; the range is the whole series'.
  const std::vector<std::pair<json, json>> cases = {
      {{{"start", 0}, {"count", 2147483647}}, json::parse("[3.5,-1.0,0.1,null,2.0]")},
      {{{"start", 1}, {"count", 2}}, json::parse("[-1.0,0.1]")},
      {{{"start", 4}, {"count", 9}}, json::parse("[2.0]")},
      {{{"start", 7}, {"count", 9}}, json::array()},
  };
  for (const auto& [block, expected] : cases) {
    json message = {{"op", "series"}, {"id", "$Series"}};
    message.update(block);
    const json reply = ask(message);
    EXPECT_EQ(reply["values"], expected) << message;
    EXPECT_EQ(reply["total"], 5) << message;
    EXPECT_EQ(reply["min"], -1.0) << message;
    EXPECT_EQ(reply["max"], 3.5) << message;
  }
  EXPECT_EQ(ask({{"op", "series"}, {"id", "$None"}, {"start", 0}, {"count", 9}})["total"], 0);
  EXPECT_EQ(ask({{"op", "labels"}, {"id", "$Series"}, {"start", 3}, {"count", 5}})["labels"],
            json({"3|nan</script>", "4|2.000000</script>"}));
}

TEST_F(PlotPageTest, GesturesReachTheViewAndScalesAreKept) {
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "VLinesDragged"}, {"plotter", "bands"}, {"values", {0, 0.04, 0.2}}})["result"], S_OK);
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "OnMouseClick"}, {"plotter", "p"}, {"label", "2\t0.1"}})["result"], S_OK);
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "BoxResized"}, {"plotter", "box"}, {"values", {800, 1100, 1, 1.5}}})["result"], S_OK);
  EXPECT_EQ(callbacks->journal, (std::vector<std::string>{"lines bands 0.000000 0.040000 0.200000", "click p 2\t0.1",
                                                           "box box 800.000000 1100.000000 1.000000 1.500000"}));
  ask({{"op", "callback"}, {"name", "YScalingChanged"}, {"plotter", "p"}, {"values", {-5, 5}}});
  EXPECT_EQ(plot().shown_range(1), (std::pair<double, double>{-5, 5}));
  EXPECT_EQ(plot().shown_range(0), (std::pair<double, double>{0, 0}));
}

TEST_F(PlotPageTest, MessagesItCannotServeGetAnError) {
  for (const char* bad : {"not json", R"({"op":"draw"})", R"({"id":"$Series"})", R"({"op":"callback","name":"Wave","plotter":"p"})"})
    EXPECT_TRUE(json::parse(plot().answer(bad)).contains("error")) << bad;
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "XScalingChanged"}, {"plotter", "p"}, {"values", {1}}})["result"], E_INVALIDARG);
  control->Close();
  EXPECT_EQ(json::parse(plot().answer(R"({"op":"labels","id":"$Series"})"))["error"], "the plot control is closed");
  EXPECT_TRUE(callbacks->journal.empty());
}

TEST_F(PlotPageTest, TheFilePageCarriesTheEngineTheCommandsAndEverySeries) {
  const std::string page = plot_snapshot_page(plot(), "R&R <Plot>");
  EXPECT_NE(page.find("<title>R&amp;R &lt;Plot&gt;</title>"), std::string::npos);
  EXPECT_NE(page.find("data-etch-module=\"etch_local.js\""), std::string::npos);
  const std::string open = "<script type=\"application/json\" id=\"etch-snapshot\">";
  const std::size_t from = page.find(open) + open.size();
  const json snapshot = json::parse(page.substr(from, page.find("</script>", from) - from));  // the labels' "</script>" did not end it
  EXPECT_EQ(snapshot["commands"], json({"etch.make_plot('p').dblclick_ms(500);", plot().markup_command()}));
  EXPECT_EQ(snapshot["series"]["$Series"]["values"], json::parse("[3.5,-1.0,0.1,null,2.0]"));
  EXPECT_EQ(snapshot["series"]["$Series"]["labels"][4], "4|2.000000</script>");
}

}  // namespace
}  // namespace korvel::ui
