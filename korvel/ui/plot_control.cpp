// SPDX-License-Identifier: MIT
#include "korvel/ui/plot_control.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include <nlohmann/json.hpp>

#include "korvel/ui/plot_script.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/views.h"

namespace korvel::ui {
namespace {

// Values the engine asks for at a time.
constexpr ULONG kBlock = 512;
// A data-changed start of this value means "after what was read before"; as a count, "to
// the end".
constexpr std::int64_t kToTheEnd = std::numeric_limits<std::int32_t>::max();

std::string text(const char16_t* s) {
  if (!s) throw_hresult(E_POINTER, "no text");
  return utf16_to_utf8(s);
}

const std::vector<float> kNoValues;

// Up to `count` values of `source` from value `from`, read through a cursor of its own so
// that the view's position stays where it was.
std::vector<float> read_values(IPlotData* source, std::int64_t from, std::int64_t count) {
  ComPtr<IPlotData> cursor;
  check_hresult(source->Clone(cursor.put()));
  std::int32_t position = 0;
  check_hresult(cursor->GetPosition(&position));
  const auto target = static_cast<std::int32_t>(std::min<std::int64_t>(from, kToTheEnd));
  check_hresult(cursor->Skip(target - position, nullptr));
  std::vector<float> values;
  float block[kBlock];
  for (std::int64_t left = count; left > 0;) {
    ULONG fetched = 0;
    const auto want = static_cast<ULONG>(std::min<std::int64_t>(left, kBlock));
    check_hresult(cursor->Next(want, block, &fetched));
    if (fetched > want) throw_hresult(E_UNEXPECTED, "a series handed out more values than asked for");
    values.insert(values.end(), block, block + fetched);
    left -= fetched;
    if (fetched < want) break;
  }
  return values;
}

// A float as the shortest decimal that reads back as the same float, so that a page of
// 100,000 values stays small; NaN as null.
nlohmann::json compact(float v) {
  if (!std::isfinite(v)) return nullptr;
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  double d = 0;
  std::from_chars(text, end, d);
  return d;
}

}  // namespace

PlotControl::PlotControl(std::string plot_id, ComPtr<IPlotCallbacks> callbacks, ComPtr<Clipboard> clipboard)
    : plot_id_(std::move(plot_id)), callbacks_(std::move(callbacks)), clipboard_(std::move(clipboard)) {}

const std::vector<float>& PlotControl::values(const std::string& data_id) const {
  auto it = values_.find(data_id);
  return it == values_.end() ? kNoValues : it->second;
}

std::optional<std::pair<std::string, std::string>> PlotControl::binding(const std::string& plotter) const {
  auto it = bindings_.find(plotter);
  if (it == bindings_.end()) return std::nullopt;
  return std::pair{it->second.y, it->second.x};
}

void PlotControl::pull(const std::string& data_id, std::int64_t from, std::int64_t count) {
  auto source = sources_.find(data_id);
  if (source == sources_.end()) return;
  std::vector<float>& values = values_[data_id];
  if (from == kToTheEnd) from = static_cast<std::int64_t>(values.size());
  from = std::clamp<std::int64_t>(from, 0, static_cast<std::int64_t>(values.size()));
  values.resize(static_cast<std::size_t>(from));
  const std::vector<float> read = read_values(source->second.get(), from, count);
  values.insert(values.end(), read.begin(), read.end());
}

std::vector<std::string> PlotControl::named_sources() const {
  // A data reference is a source id in single quotes.
  std::vector<std::string> ids;
  for (std::size_t open = markup_.find('\''); open != std::string::npos; open = markup_.find('\'', open + 1)) {
    const std::size_t close = markup_.find('\'', open + 1);
    if (close == std::string::npos) break;
    const std::string id = markup_.substr(open + 1, close - open - 1);
    if (sources_.count(id) && std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    open = close;
  }
  return ids;
}

void PlotControl::run(const std::string& command) {
  const std::vector<ScriptSegment> chain = parse_script(command);
  commands_.push_back(command);
  if (chain.size() < 3 || !chain[1].called || chain[1].arguments.size() != 1 || !chain[1].arguments[0].is_string)
    return;  // not about a plot; the page runs it and nothing here depends on it
  const ScriptSegment& plot = chain[1];
  if ((plot.name != "make_plot" && plot.name != "get_plot") || plot.arguments[0].text != plot_id_)
    throw_hresult(E_INVALIDARG, "the page holds no plot '" + plot.arguments[0].text + "'");
  const ScriptSegment& method = chain[2];
  const auto& args = method.arguments;
  auto string_at = [&](std::size_t i) -> const std::string& {
    if (i >= args.size() || !args[i].is_string) throw_hresult(E_INVALIDARG, method.name + " needs a string as argument " + std::to_string(i + 1));
    return args[i].text;
  };
  auto number_at = [&](std::size_t i) {
    if (i >= args.size() || args[i].is_string) throw_hresult(E_INVALIDARG, method.name + " needs a number as argument " + std::to_string(i + 1));
    return static_cast<std::int64_t>(std::strtod(args[i].text.c_str(), nullptr));
  };
  if (method.name == "set_markup") {
    markup_ = string_at(0);
    markup_command_ = command;
    ++markups_;
    // The engine fetches every series the markup names.
    for (const std::string& id : named_sources()) pull(id, 0, kToTheEnd);
  } else if (method.name == "plotter_data_changed") {
    const DataChange change{string_at(0), number_at(1), number_at(2)};
    changes_.push_back(change);
    if (auto b = bindings_.find(change.plotter); b != bindings_.end()) {
      pull(b->second.y, change.start, change.count);
      if (!b->second.x.empty()) pull(b->second.x, change.start, change.count);
    }
  } else if (method.name == "get_scales" && method.subscript && chain.size() == 4) {
    scales_.push_back({*method.subscript, chain[3].name});
  }
}

HRESULT PlotControl::RunScript(const char16_t* command) {
  if (!command) return E_POINTER;
  if (closed_) return E_UNEXPECTED;
  return guard([&] {
    try {
      run(utf16_to_utf8(command));
    } catch (const ScriptError& e) {
      throw_hresult(E_INVALIDARG, e.what());
    }
    return S_OK;
  });
}

HRESULT PlotControl::RegisterData(const char16_t* dataId, IPlotData* data) {
  if (closed_) return E_UNEXPECTED;
  return guard([&] {
    const std::string id = text(dataId);
    if (id.empty()) return E_INVALIDARG;
    if (data)
      sources_[id] = ComPtr<IPlotData>::retain(data);
    else
      sources_.erase(id);
    values_.erase(id);
    return S_OK;
  });
}

HRESULT PlotControl::BindPlotter(const char16_t* yDataId, const char16_t* xDataId, const char16_t* plotterId, std::int32_t flag) {
  if (closed_) return E_UNEXPECTED;
  return guard([&] {
    const std::string plotter = text(plotterId);
    if (plotter.empty()) return E_INVALIDARG;
    bindings_[plotter] = {text(yDataId), text(xDataId), flag};
    return S_OK;
  });
}

HRESULT PlotControl::ClearData() {
  if (closed_) return E_UNEXPECTED;
  sources_.clear();
  values_.clear();
  bindings_.clear();
  return S_OK;
}

HRESULT PlotControl::SetRange(std::int32_t axis, double min, double max) {
  if (closed_) return E_UNEXPECTED;
  if (axis != 0 && axis != 1) return E_INVALIDARG;
  ranges_[axis] = {min, max};
  return S_OK;
}

HRESULT PlotControl::GetRange(std::int32_t axis, double* min, double* max) {
  if (!min || !max) return E_POINTER;
  if (closed_) return E_UNEXPECTED;
  if (axis != 0 && axis != 1) return E_INVALIDARG;
  std::tie(*min, *max) = ranges_[axis];
  return S_OK;
}

// The page copies its picture to the system's clipboard; the host's own clipboard gets the
// markup as text.
HRESULT PlotControl::Copy() {
  if (closed_) return E_UNEXPECTED;
  return guard([&] {
    run("etch.get_plot('" + plot_id_ + "').copy();");
    const std::u16string wide = utf8_to_utf16(markup_);
    check_hresult(clipboard_->Empty());
    return clipboard_->SetData(kClipboardUnicodeText, wide.c_str(), static_cast<ULONG>((wide.size() + 1) * sizeof(char16_t)));
  });
}

HRESULT PlotControl::Print(const char16_t* title) {
  if (closed_) return E_UNEXPECTED;
  return guard([&] {
    printed_.push_back(text(title));
    // The page prints the plot under the title: a script string literal of it.
    std::string literal;
    for (char c : printed_.back()) {
      if (c == '\\' || c == '\'') literal += '\\';
      if (c == '\n' || c == '\r') c = ' ';
      literal += c;
    }
    run("etch.get_plot('" + plot_id_ + "').print('" + literal + "');");
    return S_OK;
  });
}

HRESULT PlotControl::Close() {
  if (closed_) return S_FALSE;
  closed_ = true;
  // Released last: the view may go with it.
  const ComPtr<IPlotCallbacks> callbacks = std::move(callbacks_);
  sources_.clear();
  bindings_.clear();
  return S_OK;
}

HRESULT PlotControl::click(const std::string& plotter, std::uint32_t index) {
  if (closed_) throw_hresult(E_UNEXPECTED, "the plot control is closed");
  auto b = bindings_.find(plotter);
  if (b == bindings_.end()) throw_hresult(E_INVALIDARG, "no plotter '" + plotter + "'");
  Bstr label;
  if (auto source = sources_.find(b->second.y); source != sources_.end()) source->second->GetLabel(index, label.put());
  return callback("OnMouseClick", plotter, {}, label.get() ? std::u16string(label.get()) : std::u16string());
}

HRESULT PlotControl::drag_lines(const std::string& plotter, const std::vector<double>& positions) {
  if (closed_) throw_hresult(E_UNEXPECTED, "the plot control is closed");
  return callback("VLinesDragged", plotter, positions, {});
}

HRESULT PlotControl::callback(const std::string& name, const std::string& plotter, const std::vector<double>& values,
                              const std::u16string& label) {
  // The view may close the control from inside its callback.
  const ComPtr<IPlotCallbacks> callbacks = callbacks_;
  const std::u16string id = utf8_to_utf16(plotter);
  const auto count = static_cast<ULONG>(values.size());
  if (name == "VLinesDragged") return callbacks->OnLinesDragged(id.c_str(), values.data(), count);
  if (name == "OnMouseClick") return callbacks->OnMouseClick(id.c_str(), label.c_str());
  if (name == "BoxResized") {
    auto boxes = callbacks.query<IPlotBoxCallbacks>();
    return boxes ? boxes->OnBoxResized(id.c_str(), values.data(), count) : E_NOINTERFACE;
  }
  if (name == "XScalingChanged" || name == "YScalingChanged") {
    if (values.size() < 2) return E_INVALIDARG;
    shown_[name[0] == 'X' ? 0 : 1] = {values[0], values[1]};
    return S_OK;
  }
  throw_hresult(E_INVALIDARG, "no callback '" + name + "'");
}

std::string PlotControl::answer(std::string_view message) {
  nlohmann::json r;
  try {
    r = reply(nlohmann::json::parse(message));
  } catch (const std::exception& e) {  // a message that is not JSON; reply() catches the rest
    r = {{"error", e.what()}};
  }
  return r.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json PlotControl::reply(const nlohmann::json& q) {
  nlohmann::json reply;
  try {
    if (closed_) throw_hresult(E_UNEXPECTED, "the plot control is closed");
    const std::string op = q.at("op").get<std::string>();
    if (op == "series" || op == "labels") {
      const std::string id = q.at("id").get<std::string>();
      const std::int64_t start = std::clamp<std::int64_t>(q.value("start", std::int64_t{0}), 0, kToTheEnd);
      const std::int64_t count = std::clamp<std::int64_t>(q.value("count", kToTheEnd), 0, kToTheEnd);
      auto source = sources_.find(id);
      // A series nobody registered (or one cleared) reads as empty.
      IPlotData* data = source == sources_.end() ? nullptr : source->second.get();
      if (op == "labels") {
        reply["labels"] = nlohmann::json::array();
        for (std::int64_t i = start; data && i < start + count; ++i) {
          Bstr label;
          if (data->GetLabel(static_cast<ULONG>(i), label.put()) != S_OK || !label.get()) break;
          reply["labels"].push_back(utf16_to_utf8(label.get()));
        }
      } else {
        ULONG total = 0;
        double min = 0, max = 0;
        const bool ranged = data && check_hresult(data->GetCount(&total)) == S_OK && data->GetRange(&min, &max) == S_OK;
        nlohmann::json values = nlohmann::json::array();
        if (data)
          for (float v : read_values(data, start, count)) values.push_back(compact(v));
        reply = {{"id", id}, {"total", total}, {"start", std::min<std::int64_t>(start, total)}, {"values", std::move(values)},
                 {"min", ranged ? nlohmann::json(min) : nlohmann::json()}, {"max", ranged ? nlohmann::json(max) : nlohmann::json()}};
      }
    } else if (op == "callback") {
      const std::vector<double> values = q.value("values", std::vector<double>{});
      const std::u16string label = utf8_to_utf16(q.value("label", std::string()));
      reply["result"] = callback(q.at("name").get<std::string>(), q.at("plotter").get<std::string>(), values, label);
    } else {
      throw_hresult(E_INVALIDARG, "no message '" + op + "'");
    }
  } catch (const std::exception& e) {
    reply = {{"error", e.what()}};
  }
  return reply;
}

PlotControl* PlotControls::find(const std::string& plot_id) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if ((*it)->plot_id() == plot_id) return it->get();
  return nullptr;
}

HRESULT PlotControls::CreatePlot(const char16_t* plotId, IPlotCallbacks* callbacks, IPlotControl** control) {
  if (!plotId || !callbacks || !control) return E_POINTER;
  *control = nullptr;
  return guard([&] {
    const std::string id = utf16_to_utf8(plotId);
    if (id.empty() || id.find_first_of("'\"\\") != std::string::npos) return E_INVALIDARG;
    auto made = make_com<PlotControl>(id, ComPtr<IPlotCallbacks>::retain(callbacks), clipboard_);
    made->run("etch.make_plot('" + id + "').dblclick_ms(" + std::to_string(kDoubleClickMs) + ");");
    controls_.push_back(made);
    *control = made.detach();
    return S_OK;
  });
}

}  // namespace korvel::ui
