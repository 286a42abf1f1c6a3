// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/workspace.h"

#include <algorithm>
#include <functional>

#include "korvel/io/load_recording.h"
#include "korvel/services/channel_calculations.h"
#include "korvel/services/commands.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/messages.h"

namespace korvel_hrv {

namespace {

// A menu text without its access-key marker ("&Analyze" -> "Analyze"; "&&" stays "&").
std::string plain_text(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

std::string view_text(IExtensionView* view, HRESULT (IExtensionView::*get)(BSTR*)) {
  Bstr text;
  if (!view || (view->*get)(text.put()) != S_OK || !text.get()) return {};
  return text.utf8();
}

// The fragment of a clipboard block in the HTML clipboard format: between the offsets its
// header gives for StartFragment and EndFragment.
std::optional<std::string> html_fragment(const std::vector<std::uint8_t>& bytes) {
  const std::string text(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t{0}));
  auto field = [&](const std::string& name) -> std::optional<std::size_t> {
    const auto at = text.find(name + ":");
    if (at == std::string::npos) return std::nullopt;
    return std::stoul(text.substr(at + name.size() + 1, 8));
  };
  const auto start = field("StartFragment"), end = field("EndFragment");
  if (!start || !end || *start > *end || *end > text.size()) return std::nullopt;
  std::string fragment = text.substr(*start, *end - *start);
  // The markers are comments around the fragment, not part of it.
  if (const auto close = fragment.find("-->"); fragment.rfind("<!--", 0) == 0 && close != std::string::npos)
    fragment.erase(0, close + 3);
  return fragment;
}

}  // namespace

Workspace::Workspace(AnalyzeOptions defaults) : defaults_(std::move(defaults)) {
  session_.session().offer(ComPtr<IUnknown>::retain(dialogs_->identity()));
}

Workspace::~Workspace() = default;

Workspace::Open& Workspace::find(int document) {
  const auto it = open_.find(document);
  if (it == open_.end()) throw RequestError(404, "no open document " + std::to_string(document));
  return it->second;
}

Workspace::Open& Workspace::activate_open(int document) {
  Open& open = find(document);
  session_.select(*open.frame);
  return open;
}

void Workspace::adopt_new_panels(Open& open) {
  const auto& views = open.frame->views();
  const auto& controls = session_.ui().plots->controls();
  const auto& pages = session_.ui().pages->pages();
  if (!views.empty()) {
    Panel& panel = open.panels[views.back().view.get()];
    if (controls.size() > controls_seen_) panel.control = controls.size() - 1;
    if (pages.size() > pages_seen_) panel.page = pages.size() - 1;
  }
  controls_seen_ = controls.size();
  pages_seen_ = pages.size();
}

int Workspace::open(const std::filesystem::path& path) {
  if (!std::filesystem::is_regular_file(path))
    throw RequestError(400, path.string() + ": no such file; give the path of a recording or of a .korvel document");
  Open open;
  if (path.extension() == ".korvel") {
    session_.open_document(path);
    open.file = std::filesystem::absolute(path);
    // A document of imported beats analysed no recorded signal ("signal" is null).
    const auto signal = nlohmann::json::parse(session_.results_json())["signal"];
    open.signal = signal.is_number_integer() ? signal.get<int>() : 0;
  } else {
    open_prepared(session_, path, defaults_, false);
    open.signal = defaults_.signal;
  }
  open.frame = session_.frame();
  open.chart = std::make_unique<ChartWindow>(*open.frame);
  open.title = path.filename().string();
  adopt_new_panels(open);
  const int id = open.frame->identity();
  open_[id] = std::move(open);
  return id;
}

void Workspace::save(int document, const std::optional<std::filesystem::path>& path) {
  Open& open = activate_open(document);
  const auto target = path ? std::optional(std::filesystem::absolute(*path)) : open.file;
  if (!target) throw RequestError(400, "the document was opened from a recording: choose a file name ending in .korvel to save it");
  if (target->extension() != ".korvel") throw RequestError(400, target->string() + ": documents are saved as .korvel files");
  session_.save_document(*target, target->parent_path());
  open.file = target;
  open.title = target->filename().string();
}

void Workspace::close(int document) {
  Open& open = find(document);
  if (live_ && live_->document == document) end_live();
  session_.close(*open.frame);
  open_.erase(document);
}

bool Workspace::run_command(int document, std::uint32_t command) {
  Open& open = activate_open(document);
  if (!session_.session().menus().find(command)) throw RequestError(404, "no menu item has command " + std::to_string(command));
  auto& session = session_.session();
  if (!korvel::services::update_command(session, command).enabled) return false;
  const HRESULT hr = korvel::services::execute_command(session, command);
  adopt_new_panels(open);
  if (FAILED(hr)) throw RequestError(409, session.menus().find(command)->path + " failed");
  return true;
}

void Workspace::select(int document, double from, std::optional<double> to) {
  Open& open = activate_open(document);
  if (to)
    session_.select_seconds(from, *to, ChannelId{open.signal, ChannelId::kDefaultKind});
  else
    session_.select_point_seconds(from, ChannelId{open.signal, ChannelId::kDefaultKind});
}

std::string Workspace::plot_message(std::size_t control, std::string_view message, bool gesture) {
  const auto& controls = session_.ui().plots->controls();
  if (control >= controls.size()) throw RequestError(404, "no plot " + std::to_string(control));
  for (auto& [id, open] : open_)
    for (const auto& [view, panel] : open.panels)
      if (panel.control == control) {
        // The view's callbacks act on its document, which the user is working in.
        if (!gesture) return reading(id, [&](Open&) { return controls[control]->answer(message); });
        activate_open(id);
        return controls[control]->answer(message);
      }
  return controls[control]->answer(message);
}

nlohmann::json Workspace::plot_commands(std::size_t control, std::size_t from) {
  const auto& controls = session_.ui().plots->controls();
  if (control >= controls.size()) throw RequestError(404, "no plot " + std::to_string(control));
  const auto& commands = controls[control]->commands();
  nlohmann::json out = {{"total", commands.size()}, {"commands", nlohmann::json::array()}};
  for (std::size_t i = std::min(from, commands.size()); i < commands.size(); ++i) out["commands"].push_back(commands[i]);
  return out;
}

std::string Workspace::page_html(std::size_t page) {
  const auto& pages = session_.ui().pages->pages();
  if (page >= pages.size()) throw RequestError(404, "no page " + std::to_string(page));
  return utf16_to_utf8(pages[page]->html());
}

nlohmann::json Workspace::view_command(int document, std::size_t view, bool copy) {
  Open& open = activate_open(document);
  const auto& views = open.frame->views();
  if (view >= views.size() || !views[view].view) throw RequestError(404, "the document has no view " + std::to_string(view));
  auto sink = views[view].view.query<IMessageSink>();
  if (!sink) throw RequestError(409, "the view takes no commands");
  const HostMessage message{copy ? kMessageCopy : kMessagePrint, {0, 0, 0, 0}, nullptr};
  auto& clipboard = *session_.ui().clipboard;
  clipboard.Empty();
  if (FAILED(sink->OnMessage(&message))) throw RequestError(409, std::string("the view could not ") + (copy ? "copy" : "print"));
  nlohmann::json out = nlohmann::json::object();
  if (const auto text = clipboard.text()) out["text"] = *text;
  if (const auto html = clipboard.data(utf16_to_utf8(kClipboardHtml)))
    if (const auto fragment = html_fragment(*html)) out["html"] = *fragment;
  return out;
}

nlohmann::json Workspace::chart(int document, const ChartRequest& request) {
  return reading(document, [&](Open& open) { return open.chart->window(request); });
}

namespace {
// Data fed per block while playing: a tenth of a second, so that views follow smoothly.
constexpr double kLiveBlockSeconds = 0.1;
// How often the player wakes to feed what is due.
constexpr std::chrono::milliseconds kLiveTick{50};
}  // namespace

int Workspace::play(const std::filesystem::path& recording, double speed) {
  if (live_) throw RequestError(409, "a recording is playing already; stop it first");
  if (!(speed > 0) || speed > 10000) throw RequestError(400, "the speed must be more than 0 and at most 10000 times the recording's rate");
  auto live = std::make_unique<Live>();
  try {
    live->recording = korvel::io::load_recording(recording);
  } catch (const korvel::io::ImportError& e) {
    throw RequestError(400, e.what());
  }
  if (live->recording.records.empty()) throw RequestError(400, recording.string() + ": the recording holds no data");
  open_for_live(session_, live->recording, recording, defaults_);
  Open open;
  open.frame = session_.frame();
  open.chart = std::make_unique<ChartWindow>(*open.frame);
  open.title = recording.filename().string() + " (live)";
  open.signal = defaults_.signal;
  adopt_new_panels(open);
  live->document = open.frame->identity();
  live->speed = speed;
  live->started = std::chrono::steady_clock::now();
  open_[live->document] = std::move(open);
  live_ = std::move(live);
  return live_->document;
}

std::optional<std::chrono::steady_clock::time_point> Workspace::play_due() {
  if (!live_) return std::nullopt;
  const auto now = std::chrono::steady_clock::now();
  const double due = std::chrono::duration<double>(now - live_->started).count() * live_->speed;
  auto& frame = *find(live_->document).frame;
  while (live_) {
    if (!live_->run) {
      if (live_->record >= live_->recording.records.size()) {
        end_live();
        break;
      }
      const auto& record = live_->recording.records[live_->record];
      korvel::services::SamplingOptions options;
      options.block_ticks = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(kLiveBlockSeconds / record.tick_interval_s)));
      live_->run = std::make_unique<korvel::services::SamplingRun>(frame, record, options);
      if (!live_->run->started()) {
        end_live();
        break;
      }
    }
    if (live_->earlier_s + live_->run->fed_seconds() >= due) break;
    if (!live_->run->feed()) {
      live_->earlier_s += live_->run->fed_seconds();
      live_->run->finish();
      live_->run.reset();
      ++live_->record;
    }
  }
  if (!live_) return std::nullopt;
  return now + kLiveTick;
}

void Workspace::end_live() {
  const auto live = std::move(live_);
  if (live->run) live->run->finish();
  // As `sample` does when recording is over: analysis while sampling goes off again, so
  // that the saved settings are those the analysis was asked with.
  session_.select(*find(live->document).frame);
  session_.run_macro("HRV_ToggleOnlineMode");
}

void Workspace::stop(int document) {
  find(document);
  if (!live_ || live_->document != document) throw RequestError(409, "no recording is playing into document " + std::to_string(document));
  end_live();
}

void Workspace::add_calculation(int document, int parameter) {
  activate_open(document);
  if (parameter != 0 && parameter != 1 && parameter != 2 && parameter != 5)
    throw RequestError(400, "the HRV calculation's parameter is 0 (beat period), 1 (its change), 2 (beat rate) or 5 (complexity)");
  session_.add_channel_calculation(parameter);
}

void Workspace::edit_calculation(int document) {
  Open& open = activate_open(document);
  const auto& calculated = open.frame->calculated_channels();
  if (calculated.empty()) throw RequestError(409, "the document has no HRV calculation channel; add one from the Channel menu first");
  const korvel::services::CalculatedChannel channel = calculated.back();
  ComPtr<IPersistStreamInit> settings;
  ComPtr<IDialogEditable> editable;
  ComPtr<IExtensionDialog> dialog;
  if (FAILED(channel.calculation->GetSettings(settings.put())) || !settings || !(editable = settings.query<IDialogEditable>()) ||
      FAILED(editable->CreateDialog(dialog.put())) || !dialog)
    throw RequestError(409, "this calculation has no settings dialog");
  const auto before = korvel::services::channel_calculation_settings(*open.frame, channel.channel);
  std::int32_t result = 0;
  dialogs_->ShowModal(dialog.get(), &result);
  if (result == 1) {
    auto stream = make_com<MemoryStream>();
    settings->Save(stream.get(), VARIANT_TRUE);
    korvel::services::apply_channel_calculation(*open.frame, channel.channel, stream->bytes());
  } else {
    settings->Load(make_com<MemoryStream>(before).get());  // the dialog wrote into it as the user chose
  }
}

void Workspace::start_macro() { session_.session().macros().start(); }

void Workspace::stop_macro() {
  if (!session_.session().macros().recording()) throw RequestError(409, "no macro is being recorded");
  macro_ = session_.session().macros().stop();
}

void Workspace::replay_macro(int document) {
  activate_open(document);
  if (macro_.empty()) throw RequestError(409, "no macro was recorded yet");
  try {
    for (HRESULT hr : korvel::services::replay_macro(*session_.frame(), macro_))
      if (FAILED(hr)) throw RequestError(409, "a command of the macro failed");
  } catch (const korvel::services::MacroError& e) {
    throw RequestError(409, e.what());
  }
}

void Workspace::save_macro(const std::filesystem::path& path) {
  if (macro_.empty()) throw RequestError(409, "no macro was recorded yet");
  if (path.extension() != ".macro") throw RequestError(400, path.string() + ": macros are saved as .macro files");
  try {
    korvel::services::save_macro(std::filesystem::absolute(path), macro_);
  } catch (const korvel::services::MacroError& e) {
    throw RequestError(400, e.what());
  }
}

std::string Workspace::beats_csv(int document) {
  return reading(document, [&](Open&) { return session_.beats_csv(); });
}

std::string Workspace::results_json(int document) {
  return reading(document, [&](Open&) { return session_.results_json(); });
}

std::string Workspace::table_csv(int document, double window, double step) {
  if (!(window > 0) || !(step > 0)) throw RequestError(400, "the window and the step must be positive numbers of seconds");
  return reading(document, [&](Open& open) { return session_.tabulet_csv(window, step, ChannelId{open.signal, ChannelId::kDefaultKind}, {}); });
}

nlohmann::json Workspace::menu_json() {
  auto& session = session_.session();
  nlohmann::json menus = nlohmann::json::array();
  // Each menu's items in their nesting order: a submenu's children follow it.
  std::function<void(const std::string&, nlohmann::json&)> add = [&](const std::string& parent, nlohmann::json& into) {
    for (const korvel::services::MenuEntry* e : session.menus().children(parent)) {
      nlohmann::json item = {{"path", e->path}};
      if (e->separator()) {
        item["separator"] = true;
      } else {
        const auto state = korvel::services::update_command(session, e->command_id);
        item["command"] = e->command_id;
        item["text"] = plain_text(state.text.empty() ? e->texts[0] : state.text);
        item["enabled"] = state.enabled;
        item["checked"] = state.checked;
        if (e->submenu()) {
          item["items"] = nlohmann::json::array();
          add(e->path, item["items"]);
        }
      }
      into.push_back(std::move(item));
    }
  };
  for (const auto& menu : session.menus().menus()) {
    nlohmann::json m = {{"name", menu.name}, {"text", plain_text(menu.text)}, {"items", nlohmann::json::array()}};
    add(menu.name, m["items"]);
    menus.push_back(std::move(m));
  }
  return menus;
}

nlohmann::json Workspace::state() {
  nlohmann::json documents = nlohmann::json::array();
  auto* active = session_.session().active();
  for (auto& [id, open] : open_) {
    auto& frame = *open.frame;
    const auto& d = frame.data().document();
    double duration = 0;
    if (d.record_count() > 0) {
      const std::int32_t last = d.record_count() - 1;
      duration = d.record_start(last) + d.record_length(last) * d.tick_interval(last);
    }
    nlohmann::json views = nlohmann::json::array();
    for (std::size_t i = 0; i < frame.views().size(); ++i) {
      const auto& v = frame.views()[i];
      nlohmann::json view = {{"index", i},
                             {"name", v.name},
                             {"title", view_text(v.view.get(), &IExtensionView::GetTitle)},
                             {"copy", view_text(v.view.get(), &IExtensionView::GetCopyMenuText)},
                             {"print", view_text(v.view.get(), &IExtensionView::GetPrintMenuText)}};
      if (const auto p = open.panels.find(v.view.get()); p != open.panels.end()) {
        if (p->second.control) {
          const auto& control = *session_.ui().plots->controls()[*p->second.control];
          view["control"] = *p->second.control;
          view["commands"] = control.commands().size();
        }
        if (p->second.page) {
          const auto& page = *session_.ui().pages->pages()[*p->second.page];
          view["page"] = *p->second.page;
          // Changes whenever the page's HTML does, so that the browser fetches it again.
          view["revision"] = std::hash<std::u16string>{}(page.html()) & 0xFFFFFFFFu;
          view["printed"] = page.printed();
        }
      }
      views.push_back(std::move(view));
    }
    const auto seconds = [&](TickPosition p) {
      return p.record >= 0 && p.record < d.record_count() ? d.record_start(p.record) + p.tick * d.tick_interval(p.record) : 0.0;
    };
    const auto& chosen = frame.chart_view().selection();
    nlohmann::json selection = nullptr;
    if (chosen.kind != kSelectionNone)
      selection = {{"from_s", seconds(chosen.start)}, {"to_s", seconds(chosen.end)}};
    nlohmann::json shown = nullptr;
    if (const auto at = frame.chart_view().shown()) shown = seconds(*at);
    // Changes whenever the analysis does, so that the table is made again.
    // Not while a recording plays into it: the table follows once the recording ends.
    const bool playing = live_ && live_->document == id;
    std::size_t analysis = 0;
    if (!playing) {
      session_.select(frame);
      try {
        analysis = std::hash<std::string>{}(session_.results_json()) & 0xFFFFFFFFu;
      } catch (const UsageError&) {
        // A document the extension has no results for yet.
      }
    }
    documents.push_back({{"id", id},
                         {"analysis", analysis},
                         {"selection", std::move(selection)},
                         {"shown_s", std::move(shown)},
                         {"title", open.title},
                         {"file", open.file ? nlohmann::json(open.file->string()) : nlohmann::json(nullptr)},
                         {"dirty", frame.dirty()},
                         {"active", &frame == active},
                         {"duration_s", duration},
                         {"signal", open.signal},
                         {"playing", playing},
                         {"views", std::move(views)}});
  }
  nlohmann::json macro = {{"recording", session_.session().macros().recording()}, {"steps", nlohmann::json::array()}};
  for (const auto& step : macro_) macro["steps"].push_back(step.name);
  nlohmann::json out = {{"documents", std::move(documents)},
                        {"menus", nlohmann::json::array()},
                        {"macro", std::move(macro)},
                        {"dialogs", dialogs_->state()}};
  if (active) {
    session_.select(*active);
    out["menus"] = menu_json();
  }
  return out;
}

}  // namespace korvel_hrv
