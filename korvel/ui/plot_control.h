// SPDX-License-Identifier: MIT
// The host's plot controls. A control runs the script commands a view sends it as the
// plot engine would (plot_script.h reads them), keeps what they set (the markup, the scale
// commands) and a record of every command, and pulls the numbers of the data series the
// markup names, or that a data-changed command names, in blocks, as the engine does. Tests
// and tools stand in for the user: a click on a point, lines dragged.
//
// A real page (web/engine) talks to the control through `answer`: it asks for blocks of a
// series and for point labels, and reports the user's gestures, each as one JSON message
// (host_link.js lists them). The control turns them into calls on the registered data
// sources and the view's callbacks, so how the messages travel (a page written to a file,
// a local web server) is an adapter's business and the views cannot tell.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "korvel/ui/clipboard.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/plot_control.h"

namespace korvel::ui {

// The double-click time the controls tell the engine, in milliseconds.
inline constexpr int kDoubleClickMs = 500;

class PlotControl final : public ComObject<IPlotControl> {
 public:
  struct ScaleCommand {
    long scale;          // 1 x, 2 y
    std::string method;  // "auto_scale", "set_unipolar", "menu_closed", ...
  };
  struct DataChange {
    std::string plotter;
    std::int64_t start;
    std::int64_t count;
  };

  PlotControl(std::string plot_id, ComPtr<IPlotCallbacks> callbacks, ComPtr<Clipboard> clipboard);

  const std::string& plot_id() const noexcept { return plot_id_; }
  // Every command run, in order, as sent.
  const std::vector<std::string>& commands() const noexcept { return commands_; }
  // The last markup set, decoded; how many were set.
  const std::string& markup() const noexcept { return markup_; }
  int markups() const noexcept { return markups_; }
  const std::vector<ScaleCommand>& scale_commands() const noexcept { return scales_; }
  const std::vector<DataChange>& data_changes() const noexcept { return changes_; }
  // The numbers read so far from the series registered under `data_id`.
  const std::vector<float>& values(const std::string& data_id) const;
  // Every series read so far, by data id.
  const std::map<std::string, std::vector<float>>& all_values() const noexcept { return values_; }
  // (y data id, x data id) bound to `plotter`; nothing when it is not bound.
  std::optional<std::pair<std::string, std::string>> binding(const std::string& plotter) const;
  const std::vector<std::string>& printed() const noexcept { return printed_; }
  bool closed() const noexcept { return closed_; }

  // The user clicks value `index` of `plotter`: the view hears the label its y series
  // gives. Throws HResultError (E_INVALIDARG) for an unbound plotter, E_UNEXPECTED when
  // closed; returns the view's result.
  HRESULT click(const std::string& plotter, std::uint32_t index);
  // The user drags the vertical lines of `plotter`.
  HRESULT drag_lines(const std::string& plotter, const std::vector<double>& positions);

  // Answers one message of the page (JSON text) with JSON text:
  //   {"op":"series","id":I,"start":S,"count":N} -> {"id","total","start","values","min","max"}
  //   {"op":"labels","id":I,"start":S,"count":N} -> {"labels":[...]}
  //   {"op":"callback","name":C,"plotter":P, "values":[...] | "label":L} -> {"result":hr}
  //     C: VLinesDragged, OnMouseClick, BoxResized, XScalingChanged, YScalingChanged.
  // A message it cannot serve gets {"error": what}.
  std::string answer(std::string_view message);
  // The same for a message already parsed, with the reply as a value, for a caller in the
  // host that would otherwise write and read back large arrays.
  nlohmann::json reply(const nlohmann::json& message);
  // The data ids the last markup names that have a registered source, in markup order.
  std::vector<std::string> named_sources() const;
  // The command that set the last markup, as sent; empty before the first.
  const std::string& markup_command() const noexcept { return markup_command_; }
  // The scale the page shows on `axis` (0 x, 1 y) as it last reported it; (0, 0) before.
  std::pair<double, double> shown_range(int axis) const { return shown_[axis & 1]; }

  HRESULT RunScript(const char16_t* command) override;
  HRESULT RegisterData(const char16_t* dataId, IPlotData* data) override;
  HRESULT BindPlotter(const char16_t* yDataId, const char16_t* xDataId, const char16_t* plotterId, std::int32_t flag) override;
  HRESULT ClearData() override;
  HRESULT SetRange(std::int32_t axis, double min, double max) override;
  HRESULT GetRange(std::int32_t axis, double* min, double* max) override;
  HRESULT Copy() override;
  HRESULT Print(const char16_t* title) override;
  HRESULT Close() override;

  // Runs `command` (UTF-8); throws ScriptError or HResultError.
  void run(const std::string& command);

 private:
  struct Binding {
    std::string y;
    std::string x;
    std::int32_t flag = 0;
  };
  // Reads the series of `data_id` from value `from` to its end (or `count` values).
  void pull(const std::string& data_id, std::int64_t from, std::int64_t count);
  // The view's callbacks, as the page reports a gesture.
  HRESULT callback(const std::string& name, const std::string& plotter, const std::vector<double>& values,
                   const std::u16string& label);

  std::string plot_id_;
  ComPtr<IPlotCallbacks> callbacks_;
  ComPtr<Clipboard> clipboard_;
  std::vector<std::string> commands_;
  std::string markup_;
  std::string markup_command_;
  int markups_ = 0;
  std::vector<ScaleCommand> scales_;
  std::vector<DataChange> changes_;
  std::map<std::string, ComPtr<IPlotData>> sources_;
  std::map<std::string, std::vector<float>> values_;
  std::map<std::string, Binding> bindings_;
  std::pair<double, double> ranges_[2] = {{0.0, 0.0}, {0.0, 0.0}};
  std::pair<double, double> shown_[2] = {{0.0, 0.0}, {0.0, 0.0}};
  std::vector<std::string> printed_;
  bool closed_ = false;
};

class PlotControls final : public ComObject<IPlotControls> {
 public:
  explicit PlotControls(ComPtr<Clipboard> clipboard) : clipboard_(std::move(clipboard)) {}

  // Every control made, in order; closed ones too.
  const std::vector<ComPtr<PlotControl>>& controls() const noexcept { return controls_; }
  // The last control made for `plot_id`; null when none was.
  PlotControl* find(const std::string& plot_id) const;

  HRESULT CreatePlot(const char16_t* plotId, IPlotCallbacks* callbacks, IPlotControl** control) override;

 private:
  ComPtr<Clipboard> clipboard_;
  std::vector<ComPtr<PlotControl>> controls_;
};

}  // namespace korvel::ui
