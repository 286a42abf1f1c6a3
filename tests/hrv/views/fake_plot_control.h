// SPDX-License-Identifier: MIT
// A plot control that records what a view sends it and stands in for the user's gestures,
// and a clock that tests step by hand.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "hrv/views/markup_clock.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/plot_control.h"
#include "sdk/host/views.h"

namespace plot_test {

class FakePlotControl final : public ComObject<IPlotControl> {
 public:
  HRESULT RunScript(const char16_t* command) override {
    const std::string text = utf16_to_utf8(command);
    (text.find(".set_markup('") != std::string::npos ? markups : others).push_back(text);
    return S_OK;
  }
  HRESULT RegisterData(const char16_t* dataId, IPlotData* data) override {
    sources[utf16_to_utf8(dataId)] = ComPtr<IPlotData>::retain(data);
    return S_OK;
  }
  HRESULT BindPlotter(const char16_t* y, const char16_t* x, const char16_t* plotter, std::int32_t flag) override {
    bindings[utf16_to_utf8(plotter)] = utf16_to_utf8(y) + " over '" + utf16_to_utf8(x) + "', " + std::to_string(flag);
    return S_OK;
  }
  HRESULT ClearData() override {
    sources.clear();
    ++clears;
    return S_OK;
  }
  HRESULT SetRange(std::int32_t axis, double min, double max) override {
    ranges.at(static_cast<std::size_t>(axis)) = {min, max};
    return S_OK;
  }
  HRESULT GetRange(std::int32_t axis, double* min, double* max) override {
    std::tie(*min, *max) = ranges.at(static_cast<std::size_t>(axis));
    return S_OK;
  }
  HRESULT Copy() override {
    others.push_back("copy");
    return S_OK;
  }
  HRESULT Print(const char16_t* title) override {
    others.push_back("print " + utf16_to_utf8(title));
    return S_OK;
  }
  HRESULT Close() override {
    closed = true;
    callbacks.reset();
    sources.clear();
    return S_OK;
  }

  HRESULT drag_lines(const std::u16string& plotter, const std::vector<double>& positions) {
    return callbacks->OnLinesDragged(plotter.c_str(), positions.data(), static_cast<ULONG>(positions.size()));
  }
  HRESULT click(const std::u16string& plotter, const std::u16string& label) {
    return callbacks->OnMouseClick(plotter.c_str(), label.c_str());
  }
  HRESULT resize_box(const std::u16string& box, const std::vector<double>& values) {
    return callbacks.query<IPlotBoxCallbacks>()->OnBoxResized(box.c_str(), values.data(), static_cast<ULONG>(values.size()));
  }

  std::string plotId;
  ComPtr<IPlotCallbacks> callbacks;
  std::vector<std::string> markups;  // the set_markup commands
  std::vector<std::string> others;   // every other command, "copy" and "print <title>"
  std::map<std::string, ComPtr<IPlotData>> sources;
  std::map<std::string, std::string> bindings;  // plotter -> "y over 'x', flag"
  std::vector<std::pair<double, double>> ranges{{0.0, 0.0}, {0.0, 0.0}};
  int clears = 0;
  bool closed = false;
};

class FakePlotControls final : public ComObject<IPlotControls> {
 public:
  HRESULT CreatePlot(const char16_t* plotId, IPlotCallbacks* cb, IPlotControl** out) override {
    last = make_com<FakePlotControl>();
    last->plotId = utf16_to_utf8(plotId);
    last->callbacks = ComPtr<IPlotCallbacks>::retain(cb);
    *out = last.get();
    (*out)->AddRef();
    return S_OK;
  }
  ComPtr<FakePlotControl> last;
};

class ManualClock final : public HRV::MarkupClock {
 public:
  std::uint64_t now() override { return ticks; }
  std::uint64_t frequency() override { return 1000; }
  std::uint64_t ticks = 1'000'000;  // ms
};

}  // namespace plot_test
