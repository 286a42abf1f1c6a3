// SPDX-License-Identifier: MIT
// A plot control that records what a view sends it and stands in for the user's gestures,
// and a clock that tests step by hand.
#pragma once

#include <map>
#include <ostream>
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
  struct Binding {
    std::string y, x;
    std::int32_t flag;
    friend bool operator==(const Binding&, const Binding&) = default;
    friend void PrintTo(const Binding& b, std::ostream* os) { *os << "{y '" << b.y << "', x '" << b.x << "', " << b.flag << "}"; }
  };

  HRESULT RunScript(const char16_t* command) override {
    commands.push_back(utf16_to_utf8(command));
    return S_OK;
  }
  HRESULT RegisterData(const char16_t* dataId, IPlotData* data) override {
    sources[utf16_to_utf8(dataId)] = ComPtr<IPlotData>::retain(data);
    ++registrations;
    return S_OK;
  }
  HRESULT BindPlotter(const char16_t* y, const char16_t* x, const char16_t* plotter, std::int32_t flag) override {
    bindings[utf16_to_utf8(plotter)] = {utf16_to_utf8(y), utf16_to_utf8(x), flag};
    return S_OK;
  }
  HRESULT ClearData() override {
    sources.clear();
    bindings.clear();
    ++clears;
    return S_OK;
  }
  HRESULT SetRange(std::int32_t axis, double min, double max) override {
    if (axis < 0 || axis > 1) return E_INVALIDARG;
    ranges[axis] = {min, max};
    return S_OK;
  }
  HRESULT GetRange(std::int32_t axis, double* min, double* max) override {
    if (axis < 0 || axis > 1) return E_INVALIDARG;
    *min = ranges[axis].first;
    *max = ranges[axis].second;
    return S_OK;
  }
  HRESULT Copy() override {
    ++copies;
    return S_OK;
  }
  HRESULT Print(const char16_t* title) override {
    printed.push_back(utf16_to_utf8(title));
    return S_OK;
  }
  HRESULT Close() override {
    closed = true;
    callbacks.reset();
    sources.clear();
    return S_OK;
  }

  // The commands that set a markup.
  std::vector<std::string> markups() const {
    std::vector<std::string> out;
    for (const std::string& c : commands)
      if (c.find(".set_markup('") != std::string::npos) out.push_back(c);
    return out;
  }
  std::vector<std::string> data_changes() const {
    std::vector<std::string> out;
    for (const std::string& c : commands)
      if (c.find(".plotter_data_changed(") != std::string::npos) out.push_back(c);
    return out;
  }
  HRESULT drag_lines(const std::u16string& plotter, const std::vector<double>& positions) {
    return callbacks->OnLinesDragged(plotter.c_str(), positions.data(), static_cast<ULONG>(positions.size()));
  }
  HRESULT click(const std::u16string& plotter, const std::u16string& label) {
    return callbacks->OnMouseClick(plotter.c_str(), label.c_str());
  }
  HRESULT resize_box(const std::u16string& box, const std::vector<double>& values) {
    auto boxes = callbacks.query<IPlotBoxCallbacks>();
    return boxes ? boxes->OnBoxResized(box.c_str(), values.data(), static_cast<ULONG>(values.size())) : E_NOINTERFACE;
  }

  std::string plotId;
  ComPtr<IPlotCallbacks> callbacks;
  std::vector<std::string> commands;
  std::map<std::string, ComPtr<IPlotData>> sources;
  std::map<std::string, Binding> bindings;
  std::pair<double, double> ranges[2] = {{0.0, 0.0}, {0.0, 0.0}};
  int registrations = 0;
  int clears = 0;
  int copies = 0;
  std::vector<std::string> printed;
  bool closed = false;
};

class FakePlotControls final : public ComObject<IPlotControls> {
 public:
  HRESULT CreatePlot(const char16_t* plotId, IPlotCallbacks* cb, IPlotControl** out) override {
    if (!plotId || !cb || !out) return E_POINTER;
    last = make_com<FakePlotControl>();
    last->plotId = utf16_to_utf8(plotId);
    last->callbacks = ComPtr<IPlotCallbacks>::retain(cb);
    last->AddRef();
    *out = last.get();
    return S_OK;
  }
  ComPtr<FakePlotControl> last;
};

class ManualClock final : public HRV::MarkupClock {
 public:
  std::uint64_t now() override { return ticks; }
  std::uint64_t frequency() override { return 1000; }
  void advance_seconds(double s) { ticks += static_cast<std::uint64_t>(s * 1000.0); }
  std::uint64_t ticks = 1'000'000;
};

}  // namespace plot_test
