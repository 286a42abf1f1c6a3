// SPDX-License-Identifier: MIT
// The plot control as the page reaches it: blocks of a series and point labels read from the
// registered source, gestures delivered to the view's callbacks, messages it cannot serve
// answered with an error, and the page that opens from a file carrying all of it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "korvel/ui/plot_control.h"
#include "korvel/ui/plot_snapshot.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/views.h"

namespace {

using nlohmann::json;

// A series of numbers whose labels may hold anything, "</script>" included.
class Series final : public ComObject<IPlotData> {
 public:
  Series(std::vector<float> values, std::string labelTail) : values_(std::move(values)), tail_(std::move(labelTail)) {}
  HRESULT Next(ULONG count, float* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && at_ < values_.size(); ++n) out[n] = values_[at_++];
    *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(std::int32_t count, std::int32_t* moved) override {
    const auto to = std::clamp<std::int64_t>(static_cast<std::int64_t>(at_) + count, 0, static_cast<std::int64_t>(values_.size()));
    if (moved) *moved = static_cast<std::int32_t>(to - static_cast<std::int64_t>(at_));
    at_ = static_cast<std::size_t>(to);
    return S_OK;
  }
  HRESULT GetPosition(std::int32_t* position) override { return *position = static_cast<std::int32_t>(at_), S_OK; }
  HRESULT Clone(IPlotData** copy) override {
    auto c = make_com<Series>(values_, tail_);
    c->at_ = at_;
    *copy = c.detach();
    return S_OK;
  }
  HRESULT GetCount(ULONG* count) override { return *count = static_cast<ULONG>(values_.size()), S_OK; }
  HRESULT GetRange(double* min, double* max) override {
    if (values_.empty()) return S_FALSE;
    *min = *std::min_element(values_.begin(), values_.end());
    *max = *std::max_element(values_.begin(), values_.end());
    return S_OK;
  }
  HRESULT GetId(BSTR* id) override { return *id = SysAllocString(u"$S"), S_OK; }
  HRESULT GetLabel(ULONG index, BSTR* label) override {
    if (index >= values_.size()) return *label = nullptr, S_FALSE;
    *label = Bstr(std::to_string(index) + "\t" + tail_).detach();
    return S_OK;
  }

 private:
  std::vector<float> values_;
  std::string tail_;
  std::size_t at_ = 0;
};

// The view's side: what reached it, one line per callback.
class Heard final : public ComObject<IPlotCallbacks, IPlotBoxCallbacks> {
 public:
  HRESULT OnLinesDragged(const char16_t* plotter, const double* v, ULONG n) override { return note("lines", plotter, v, n); }
  HRESULT OnMouseClick(const char16_t* plotter, const char16_t* label) override {
    lines.push_back("click " + utf16_to_utf8(plotter) + " " + utf16_to_utf8(label));
    return S_OK;
  }
  HRESULT OnBoxResized(const char16_t* box, const double* v, ULONG n) override { return note("box", box, v, n); }
  std::vector<std::string> lines;

 private:
  HRESULT note(const char* what, const char16_t* id, const double* v, ULONG n) {
    std::string line = std::string(what) + " " + utf16_to_utf8(id);
    for (ULONG i = 0; i < n; ++i) line += " " + json(v[i]).dump();
    lines.push_back(line);
    return S_OK;
  }
};

class PlotPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComPtr<IPlotControl> made;
    ASSERT_EQ(plots->CreatePlot(u"p", heard.get(), made.put()), S_OK);
    control = static_cast<korvel::ui::PlotControl*>(made.get());
    keep = std::move(made);
    ASSERT_EQ(control->RegisterData(u"$S", make_com<Series>(std::vector<float>{3.5f, -1.0f, 0.1f, NAN, 2.0f}, "</script>").get()), S_OK);
    ASSERT_EQ(control->BindPlotter(u"$S", u"", u"p", 0), S_OK);
    ASSERT_EQ(control->RunScript(u"etch.get_plot('p').set_markup('tplot: {id: \\'p\\', ydata: \\'$S\\' [0:1:end]},');"), S_OK);
  }
  json ask(const json& message) { return json::parse(control->answer(message.dump())); }

  ComPtr<Heard> heard = make_com<Heard>();
  ComPtr<korvel::ui::PlotControls> plots = make_com<korvel::ui::PlotControls>(make_com<korvel::ui::Clipboard>());
  ComPtr<IPlotControl> keep;
  korvel::ui::PlotControl* control = nullptr;
};

TEST_F(PlotPageTest, SeriesAndLabelsComeInTheBlocksAsked) {
  // {start, count} -> values of the block; the range is the whole series'.
  const std::vector<std::pair<json, json>> cases = {
      {{{"start", 0}, {"count", 2147483647}}, json::parse("[3.5,-1.0,0.1,null,2.0]")},
      {{{"start", 1}, {"count", 2}}, json::parse("[-1.0,0.1]")},
      {{{"start", 4}, {"count", 9}}, json::parse("[2.0]")},
      {{{"start", 7}, {"count", 9}}, json::array()},
  };
  for (const auto& [block, values] : cases) {
    json message = {{"op", "series"}, {"id", "$S"}};
    message.update(block);
    const json reply = ask(message);
    EXPECT_EQ(reply["values"], values) << message;
    EXPECT_EQ(reply["total"], 5) << message;
    EXPECT_EQ(reply["min"], -1.0) << message;
    EXPECT_EQ(reply["max"], 3.5) << message;
  }
  EXPECT_EQ(ask({{"op", "series"}, {"id", "$None"}, {"start", 0}, {"count", 9}})["total"], 0);
  EXPECT_EQ(ask({{"op", "labels"}, {"id", "$S"}, {"start", 3}, {"count", 5}})["labels"], json({"3\t</script>", "4\t</script>"}));
}

TEST_F(PlotPageTest, GesturesReachTheViewAndScalesAreKept) {
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "VLinesDragged"}, {"plotter", "bands"}, {"values", {0, 0.04, 0.2}}})["result"], S_OK);
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "OnMouseClick"}, {"plotter", "p"}, {"label", "2\t0.1"}})["result"], S_OK);
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "BoxResized"}, {"plotter", "box"}, {"values", {800, 1100, 1, 1.5}}})["result"], S_OK);
  EXPECT_EQ(heard->lines, (std::vector<std::string>{"lines bands 0.0 0.04 0.2", "click p 2\t0.1", "box box 800.0 1100.0 1.0 1.5"}));
  ask({{"op", "callback"}, {"name", "YScalingChanged"}, {"plotter", "p"}, {"values", {-5, 5}}});
  EXPECT_EQ(control->shown_range(1), (std::pair<double, double>{-5, 5}));
  EXPECT_EQ(control->shown_range(0), (std::pair<double, double>{0, 0}));
}

TEST_F(PlotPageTest, MessagesItCannotServeGetAnError) {
  for (const char* bad : {"not json", R"({"op":"draw"})", R"({"id":"$S"})", R"({"op":"callback","name":"Wave","plotter":"p"})"})
    EXPECT_TRUE(json::parse(control->answer(bad)).contains("error")) << bad;
  EXPECT_EQ(ask({{"op", "callback"}, {"name", "XScalingChanged"}, {"plotter", "p"}, {"values", {1}}})["result"], E_INVALIDARG);
  control->Close();
  EXPECT_EQ(json::parse(control->answer(R"({"op":"labels","id":"$S"})"))["error"], "the plot control is closed");
  EXPECT_TRUE(heard->lines.empty());
}

TEST_F(PlotPageTest, TheFilePageCarriesTheEngineTheCommandsAndEverySeries) {
  const std::string page = korvel::ui::plot_snapshot_page(*control, "R&R <Plot>");
  EXPECT_NE(page.find("<title>R&amp;R &lt;Plot&gt;</title>"), std::string::npos);
  EXPECT_NE(page.find("data-etch-module=\"etch_local.js\""), std::string::npos);
  const std::string open = "<script type=\"application/json\" id=\"etch-snapshot\">";
  const std::size_t from = page.find(open) + open.size();
  const std::string text = page.substr(from, page.find("</script>", from) - from);
  const json snapshot = json::parse(text);  // the labels' "</script>" did not end the element
  EXPECT_EQ(snapshot["commands"], json({"etch.make_plot('p').dblclick_ms(500);", control->markup_command()}));
  EXPECT_EQ(snapshot["series"]["$S"]["values"], json::parse("[3.5,-1.0,0.1,null,2.0]"));
  EXPECT_EQ(snapshot["series"]["$S"]["labels"][4], "4\t</script>");
}

}  // namespace
