// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/hrv_session.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdlib>
#include <exception>

#include "apps/korvel-hrv/csv_text.h"
#include "apps/korvel-hrv/property_bag.h"
#include "korvel/docfile/document_file.h"
#include "korvel/io/file_output.h"
#include "korvel/services/commands.h"
#include "korvel/services/macros.h"
#include "korvel/services/channel_calculations.h"
#include "korvel/services/sampler.h"
#include "korvel/services/tabulet.h"
#include "korvel/ui/exports.h"
#include "korvel/ui/plot_snapshot.h"
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/view_pages.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"

namespace korvel_hrv {

namespace {

// The HRV extension's document class, the key of everything the tool asks of it.
constexpr GUID kHrvDocumentClass = make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");

// The HRV channel calculation's class.
constexpr GUID kHrvChannelCalculationClass = make_guid("{685BF807-4352-408F-B858-577EF212F377}");

// The species presets in the extension's list order (index = preset number).
const char* const kPresetNames[] = {"Human", "Large Dog", "Small Dog", "Guinea Pig", "Mouse",
                                    "Pig",   "Rabbit",    "Rat",       "Custom"};

std::string normalised(std::string name) {
  for (auto& c : name) c = c == '-' || c == '_' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string read_text(IByteStream* stream) {
  auto* memory = static_cast<MemoryStream*>(stream);
  return std::string(memory->bytes().begin(), memory->bytes().end());
}

}  // namespace

std::filesystem::path hrv_library_path() {
  if (const char* path = std::getenv("KORVEL_HRV_LIBRARY")) return path;
  return KORVEL_HRV_LIBRARY_PATH;
}

int preset_index(const std::string& name) {
  const std::string wanted = normalised(name);
  std::string known;
  for (int i = 0; i < static_cast<int>(std::size(kPresetNames)); ++i) {
    if (wanted == normalised(kPresetNames[i])) return i;
    known += std::string(i ? ", " : "") + "\"" + kPresetNames[i] + "\"";
  }
  throw UsageError("unknown preset \"" + name + "\"; the presets are " + known);
}

std::string preset_name(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kPresetNames))) return std::to_string(index);
  return kPresetNames[index];
}

HrvSession::HrvSession() {
  auto application = make_com<korvel::app::Application>();
  try {
    application->load_extension(hrv_library_path());
  } catch (const std::exception& e) {
    throw UsageError(std::string("cannot load the HRV extension: ") + e.what());
  }
  session_ = std::make_unique<korvel::services::Session>(application);
  ui_ = korvel::ui::install_ui(*session_);
}

HrvSession::~HrvSession() = default;

void HrvSession::open_recording(const std::filesystem::path& path, const korvel::io::LoadOptions& options) {
  try {
    frame_ = &korvel::docfile::open_recordings(*session_, {{std::filesystem::absolute(path), options}});
  } catch (const korvel::io::ImportError& e) {
    throw UsageError(e.what());
  }
}

void HrvSession::open_document(const std::filesystem::path& path, bool reattach) {
  const auto& boxes = session_->application().message_boxes().shown();
  const std::size_t before = boxes.size();
  try {
    frame_ = &korvel::docfile::load_document(*session_, path, {}, reattach);
  } catch (const std::exception& e) {
    throw UsageError(e.what());
  }
  // What the extension told the user while the document loaded: stored settings it put back
  // to their defaults, for one.
  for (std::size_t i = before; i < boxes.size(); ++i)
    std::fprintf(stderr, "korvel-hrv: warning: %s: %s\n", path.string().c_str(), boxes[i].text.c_str());
}

void HrvSession::open_samples(korvel::io::Recording recording) {
  if (recording.records.empty() || recording.records.front().length() == 0) throw UsageError("the array of samples is empty; pass at least one sample");
  frame_ = &session_->open(korvel::doc::Document(std::move(recording)));
}

void HrvSession::refer_to(const std::filesystem::path& file, const korvel::io::LoadOptions& options) {
  frame_->set_sources({{std::filesystem::absolute(file), options}});
}

void HrvSession::open_for_sampling(const korvel::io::Recording& recording, const std::filesystem::path& source) {
  std::vector<korvel::doc::ChannelInfo> channels;
  if (recording.records.empty()) throw UsageError(source.string() + ": the recording holds no data");
  for (const auto& c : recording.records.front().channels) channels.push_back({c.name, c.unit, 0});
  korvel::services::FrameOptions options;
  options.can_sample = true;
  frame_ = &session_->open(korvel::doc::Document(recording.name, std::move(channels)), options);
  // The document file refers to the file whose data the document sampled.
  frame_->set_sources({{std::filesystem::absolute(source), {}}});
}

void HrvSession::select(korvel::services::DocumentFrame& frame) {
  session_->activate(frame);
  frame_ = &frame;
}

void HrvSession::close(korvel::services::DocumentFrame& frame) {
  session_->close(frame);
  frame_ = session_->active();
}

IExtensionDocument* HrvSession::hrv_document() const {
  const auto* extension = frame_ ? frame_->find_extension(kHrvDocumentClass) : nullptr;
  if (!extension || !extension->document) throw UsageError("the HRV extension created no document");
  return extension->document.get();
}

int HrvSession::channel_count() const { return frame_->data().document().channel_count(); }

std::pair<std::vector<korvel::signal::SamplePiece>, double> HrvSession::signal_samples(int signal) const {
  const auto& d = frame_->data().document();
  std::vector<korvel::signal::SamplePiece> pieces;
  for (std::int32_t r = 0; r < d.record_count(); ++r)
    pieces.push_back({d.has_data(r, signal) ? static_cast<std::size_t>(d.record_length(r)) : 0,
                      [&d, r, signal](std::size_t from, std::size_t n, float* out) { d.read(r, signal, from, n, out); }});
  return {std::move(pieces), d.record_count() > 0 ? d.tick_interval(0) : 0.0};
}

namespace {
constexpr std::string_view kInvertedPrefix = "Inverted_Ch";
}  // namespace

ChannelId HrvSession::source_channel(int signal, bool inverted) {
  if (!inverted) return {signal, ChannelId::kDefaultKind};
  auto& channels = frame_->data().channels();
  const std::string name = std::string(kInvertedPrefix) + std::to_string(signal + 1);
  std::int32_t index = 0;
  if (const auto found = channels.find(name)) {
    index = *found;
  } else {
    index = channels.create(name);
    channels.set_expression(index, "-Ch" + std::to_string(signal + 1));
  }
  return {index, ChannelId::kComputedReference};
}

std::optional<ChannelId> HrvSession::imported_beats() const {
  auto& channels = frame_->data().channels();
  for (std::int32_t index : channels.indexes())
    if (channels.recorded_events(index) && channels.name(index) == korvel::io::kBeatChannelName)
      return ChannelId{index, ChannelId::kComputedReference};
  return std::nullopt;
}

double HrvSession::duration_seconds() const {
  const auto& d = frame_->data().document();
  if (d.record_count() == 0) return 0;
  const std::int32_t last = d.record_count() - 1;
  return d.record_start(last) + d.record_length(last) * d.tick_interval(last);
}

void HrvSession::apply_settings(const nlohmann::json& values) {
  ComPtr<IPersist> persist;
  if (hrv_document()->GetPersistedObject(0, kPersistedObjectKind, persist.put()) != S_OK || !persist)
    throw UsageError("the HRV document has no settings");
  auto settings = persist.query<IPersistPropertyBag>();
  if (!settings) throw UsageError("the HRV settings cannot be set by name");
  // A name the settings do not save is a mistake (a misspelt key), not a value to ignore.
  auto known = make_com<PropertyBag>();
  if (FAILED(settings->Save(known.get(), VARIANT_FALSE))) throw UsageError("the HRV settings cannot be read by name");
  const nlohmann::ordered_json names = known->to_json();
  for (const auto& [name, value] : values.items())
    if (!names.contains(name)) {
      std::string list;
      for (const auto& [k, v] : names.items()) list += (list.empty() ? "" : ", ") + k;
      throw UsageError("unknown setting \"" + name + "\"; the settings are Polarity, " + list);
    }
  auto bag = make_com<PropertyBag>();
  try {
    bag->set_json(values);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  if (settings->Load(bag.get(), bag.get()) != S_OK) {
    std::string message = "settings refused:";
    for (const auto& e : bag->errors()) message += "\n  " + e;
    throw UsageError(message);
  }
}

namespace {

// The position of `seconds` on the document's time axis: the record it falls in and the
// nearest tick. Throws UsageError outside the recorded data.
TickPosition position_of(const korvel::doc::Document& d, double seconds) {
  for (std::int32_t r = d.record_count() - 1; r >= 0 && std::isfinite(seconds); --r) {
    const double start = d.record_start(r);
    if (seconds + 1e-9 < start) continue;
    const double tick = std::round((seconds - start) / d.tick_interval(r));
    if (!(tick <= d.record_length(r))) break;  // checked as a double, before it becomes a tick
    return {static_cast<std::int32_t>(tick), r};
  }
  throw UsageError("time " + shortest_text(seconds) + " s lies outside the recording");
}

}  // namespace

void HrvSession::select_seconds(double from, double to, ChannelId channel) {
  if (!(from >= 0) || !(to > from)) throw UsageError("a range needs 0 <= start < end");
  if (to > duration_seconds() + 1e-9)
    throw UsageError("the range " + shortest_text(from) + " s to " + shortest_text(to) +
                     " s ends beyond the end of the recording (" + shortest_text(duration_seconds()) + " s)");
  const auto& d = frame_->data().document();
  frame_->chart_view().select_range(position_of(d, from), position_of(d, to), channel);
}

void HrvSession::select_point_seconds(double at, ChannelId channel) {
  frame_->chart_view().select_point(position_of(frame_->data().document(), at), channel);
}

void HrvSession::run_macro(const std::string& name) {
  try {
    for (HRESULT hr : korvel::services::replay_macro(*frame_, {{"HRV", name, {}}}))
      if (FAILED(hr)) throw UsageError("the macro command " + name + " failed");
  } catch (const korvel::services::MacroError& e) {
    throw UsageError(e.what());
  }
}

void HrvSession::replay_macro_file(const std::filesystem::path& path) {
  try {
    for (HRESULT hr : korvel::services::replay_macro(*frame_, korvel::services::load_macro(path)))
      if (FAILED(hr)) throw UsageError(path.string() + ": a macro command failed");
  } catch (const korvel::services::MacroError& e) {
    throw UsageError(e.what());
  }
}

bool HrvSession::run_menu(const std::string& path) {
  for (const auto& item : session_->menus().items()) {
    if (item.path != path) continue;
    if (!korvel::services::update_command(*session_, item.command_id).enabled) return false;
    if (FAILED(korvel::services::execute_command(*session_, item.command_id)))
      throw UsageError("the menu command " + path + " failed");
    return true;
  }
  throw UsageError("no menu item " + path);
}

void HrvSession::sample(const korvel::io::Recording& recording, double blockSeconds, const std::function<void(double)>& done) {
  if (!(blockSeconds > 0)) throw CommandLineError("--block must be a positive number of seconds");
  std::size_t total = 0, before = 0;
  for (const auto& record : recording.records) total += record.length();
  for (const auto& record : recording.records) {
    korvel::services::SamplingOptions options;
    // Bounded as a double before it becomes a count of ticks: a block of 1e300 s is the record.
    const double blockTicks = std::clamp(std::round(blockSeconds / record.tick_interval_s), 1.0, std::max(1.0, static_cast<double>(record.length())));
    options.block_ticks = static_cast<std::int32_t>(blockTicks);
    options.on_block = [&](std::int64_t ticks) { done(static_cast<double>(before + static_cast<std::size_t>(ticks)) / static_cast<double>(total)); };
    const auto outcome = korvel::services::sample_record(*frame_, record, options);
    if (!outcome.started) throw UsageError("sampling was refused");
    before += record.length();
  }
}

void HrvSession::export_rr_intervals(const std::filesystem::path& path) {
  for (const auto& type : korvel::ui::export_types(session_->application())) {
    if (type.description != "HRV RR Interval Text File") continue;
    if (FAILED(korvel::ui::export_document(*frame_, type, path))) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
      throw UsageError(path.filename().string() + ": the RR interval export failed");
    }
    return;
  }
  throw UsageError("the HRV extension offers no RR interval export");
}

namespace {

// Numbers in the shortest form that reads back exactly; an empty cell for no value.
void append_cell(std::string& out, const korvel::services::TabuletCell& cell) {
  if (cell.status != S_OK) return;
  if (const auto* i = std::get_if<std::int32_t>(&cell.value)) {
    out += std::to_string(*i);
  } else if (const auto* d = std::get_if<double>(&cell.value)) {
    if (std::isfinite(*d)) out += shortest_text(*d);
  } else if (const auto* t = std::get_if<std::string>(&cell.value)) {
    out += *t;
  }
}

// A column title as CSV wants it, "name (unit)": ASCII units ("ms2", not "ms²") and quoted
// when it needs to be. Built by appending: GCC 12 at -O3 misreports string concatenation.
std::string csv_title(const std::string& name, const std::string& unit) {
  std::string title = name;
  if (!unit.empty()) title.append(" (").append(unit).append(")");
  std::string ascii;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (title.compare(i, 2, "\u00b2") == 0) {
      ascii.push_back('2');
      ++i;
    } else {
      ascii.push_back(title[i]);
    }
  }
  return csv_field(ascii);
}

}  // namespace

void HrvSession::check_table_rows(double windowSeconds, double stepSeconds) const {
  if (!(windowSeconds > 0) || !(stepSeconds > 0)) throw CommandLineError("--window and --step must be positive");
  const double total = duration_seconds();
  // Rows are bounded before any is made: a tiny step over a long recording would otherwise
  // take the memory of billions of rows.
  constexpr int kMaxRows = 100000;
  if (const double rows = std::floor((total - windowSeconds) / stepSeconds) + 1; rows > kMaxRows)
    throw CommandLineError("--step " + shortest_text(stepSeconds) + " gives " + shortest_text(rows) + " rows over the " +
                           shortest_text(std::round(total)) + " s of the recording; at most " + std::to_string(kMaxRows) +
                           ": give a step of at least " +
                           shortest_text(std::ceil((total - windowSeconds) / (kMaxRows - 1) * 1000) / 1000) + " s");
}

std::string HrvSession::tabulet_csv(double windowSeconds, double stepSeconds, ChannelId channel,
                                    const std::function<void(double)>& done) {
  check_table_rows(windowSeconds, stepSeconds);
  // The Tabulet's "Analysis Start" and "Analysis End" give the document's whole analysis
  // region on every row; the table's first two columns are each row's own window instead.
  const std::string kRegionKeys[] = {"AnalysisStart", "AnalysisEnd"};
  std::vector<std::string> keys;
  for (const auto& key : korvel::services::Tabulet::available(session_->application()))
    if (std::find(std::begin(kRegionKeys), std::end(kRegionKeys), key) == std::end(kRegionKeys)) keys.push_back(key);
  const auto& d = frame_->data().document();
  const double total = duration_seconds();
  auto seconds_of = [&](TickPosition p) { return d.record_start(p.record) + p.tick * d.tick_interval(p.record); };
  std::vector<std::pair<TickPosition, TickPosition>> windows;
  for (std::size_t k = 0;; ++k) {
    const double start = k * stepSeconds;  // not a running sum: no drift over many rows
    if (start + windowSeconds > total + 1e-9) break;
    windows.emplace_back(position_of(d, start), position_of(d, start + windowSeconds));
  }
  if (windows.empty())
    throw UsageError("the recording (" + shortest_text(total) + " s) is shorter than one window of " +
                     shortest_text(windowSeconds) + " s");
  // pRRx is titled by its threshold, as the report titles its row: "pRR50 (%)".
  const double threshold = nlohmann::json::parse(results_json())["settings"]["PRRThresholdSec"].get<double>();
  std::string out = "Analysis Start (s),Analysis End (s)";
  // One table per row, so that the rows done can be counted.
  for (std::size_t r = 0; r < windows.size(); ++r) {
    korvel::services::Tabulet table(*frame_);
    for (const auto& key : keys) table.add_column(key);
    if (r == 0) {
      for (const auto& column : table.columns()) {
        std::string name = column.key == "pNNx" ? "pRR" + shortest_text(std::round(threshold * 1e6) / 1e3) : column.name;
        out.append(",").append(csv_title(name, column.unit));
      }
      out += "\n";
    }
    const auto [from, to] = windows[r];
    table.add_row({channel, from, to});
    out += shortest_text(seconds_of(from)) + "," + shortest_text(seconds_of(to));
    const auto cells = table.evaluate();
    for (const auto& cell : cells.front()) {
      out += ',';
      append_cell(out, cell);
    }
    out += '\n';
    if (done) done(static_cast<double>(r + 1) / static_cast<double>(windows.size()));
  }
  return out;
}

ChannelId HrvSession::add_channel_calculation(int parameter) {
  // The calculation's settings stream: format version 1, the parameter, guide lines on,
  // interpolation off (booleans as 16-bit values).
  std::vector<std::uint8_t> settings;
  auto put = [&](std::int64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) settings.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  put(1, 4);
  put(parameter, 4);
  put(1, 2);
  put(0, 2);
  // A second calculation channel gets the next free name.
  std::string name = "HRV_Calculation";
  for (int n = 2; frame_->data().channels().find(name); ++n) name = "HRV_Calculation" + std::to_string(n);
  try {
    return korvel::services::add_channel_calculation(*frame_, kHrvChannelCalculationClass, name, settings);
  } catch (const std::exception& e) {
    throw UsageError(std::string("cannot add the HRV calculation channel: ") + e.what());
  }
}

std::optional<std::string> HrvSession::channel_calculation_csv() {
  const auto& calculated = frame_->calculated_channels();
  const auto found = std::find_if(calculated.begin(), calculated.end(), [](const korvel::services::CalculatedChannel& c) {
    return c.class_id == kHrvChannelCalculationClass;
  });
  if (found == calculated.end()) return std::nullopt;
  const ChannelId channel = found->channel;
  std::string out = "record,tick,time_s,value\n";
  auto& data = frame_->data();
  TickPosition end;
  data.GetEndOfData(&end);
  ComPtr<IEventReader> reader;
  if (data.OpenEventReader(channel, {0, 0}, end, reader.put()) != S_OK || !reader)
    throw UsageError("the HRV calculation channel yields no values");
  struct Point {
    std::int32_t tick;
    float fraction;
    double value;
  };
  std::vector<Point> batch(1024);
  std::vector<std::int32_t> records(batch.size());
  ULONG count = 0;
  while (reader->Read(batch.data(), static_cast<ULONG>(batch.size()), records.data(), &count) == S_OK && count > 0) {
    for (ULONG i = 0; i < count; ++i) {
      double start = 0, dt = 0;
      data.GetRecordStartTime(records[i], &start);
      data.GetSampleInterval(records[i], channel, &dt);
      char line[128];
      std::snprintf(line, sizeof line, "%d,%d,%.9g,", records[i], batch[i].tick, start + (batch[i].tick + batch[i].fraction) * dt);
      out += line;
      if (std::isfinite(batch[i].value)) {
        char buffer[32];
        auto [e, ec] = std::to_chars(buffer, buffer + sizeof buffer, batch[i].value);
        out.append(buffer, e);
      }
      out += '\n';
    }
  }
  return out;
}

void HrvSession::write_views(const std::filesystem::path& dir) {
  // Menu paths of the views and the names their outputs are written under.
  const std::pair<const char*, const char*> views[] = {
      {"HRV|AnalysisPlots|Tachogram", "tachogram"},       {"HRV|AnalysisPlots|Spectrum", "spectrum"},
      {"HRV|AnalysisPlots|RRHistogram", "rr_histogram"}, {"HRV|AnalysisPlots|DeltaRRHistogram", "delta_rr_histogram"},
      {"HRV|AnalysisPlots|Poincare", "poincare"},         {"HRV|ClassifierView", "classifier"},
  };
  std::filesystem::create_directories(dir / "markup");
  std::filesystem::create_directories(dir / "views");
  std::filesystem::create_directories(dir / "plots");
  std::vector<PlotPageLink> pages;
  for (const auto& [path, name] : views) {
    const std::size_t before = ui_.plots->controls().size();
    if (!run_menu(path)) throw UsageError(std::string("the menu item ") + path + " is disabled");
    if (ui_.plots->controls().size() == before) throw UsageError(std::string(path) + " opened no plot");
    korvel::ui::PlotControl& plot = *ui_.plots->controls().back();
    Bstr title;
    const auto& opened = frame_->views();
    if (opened.empty() || !opened.back().view || opened.back().view->GetTitle(title.put()) != S_OK || !title.get())
      throw UsageError(std::string(path) + " opened a view without a title");
    const std::string heading = utf16_to_utf8(title.get());
    korvel::io::write_new_file(dir / "markup" / (std::string(name) + ".txt"), plot.markup());
    korvel::io::write_new_file(dir / "views" / (std::string(name) + ".json"), view_json(plot, heading));
    korvel::io::write_new_file(dir / "plots" / (std::string(name) + ".html"), korvel::ui::plot_snapshot_page(plot, heading));
    pages.push_back({"plots/" + std::string(name) + ".html", heading});
  }
  const std::size_t reports = ui_.pages->pages().size();
  if (!run_menu("HRV|Report") || ui_.pages->pages().size() == reports) throw UsageError("the report view showed no page");
  const std::string report = utf16_to_utf8(ui_.pages->pages().back()->html());
  korvel::io::write_new_file(dir / "report.html", report);
  korvel::io::write_new_file(dir / "index.html", index_page(report, pages));
}

void HrvSession::check_evaluation() const {
  auto& channels = frame_->data().channels();
  const auto& d = frame_->data().document();
  for (const std::int32_t index : channels.indexes()) {
    if (channels.kind(index) != korvel::expr::ValueKind::Events) continue;
    for (std::int32_t r = 0; r < d.record_count(); ++r) {
      try {
        if (channels.has_data(index, r)) channels.events(index, r);
      } catch (const std::exception& e) {
        throw UsageError("channel " + channels.name(index) + ", record " + std::to_string(r) + ": " + e.what() +
                         "; the analysis stopped there, so no results were written");
      }
    }
  }
}

std::string HrvSession::results_json() const {
  check_evaluation();
  auto exporter = ComPtr<IExtensionDocument>::retain(hrv_document()).query<IAnalysisExport>();
  if (!exporter) throw UsageError("the HRV document cannot export its results");
  auto stream = make_com<MemoryStream>();
  if (FAILED(exporter->ExportResults(stream.get()))) throw UsageError("the results could not be exported");
  // The extension names the channel it read; the user asked for a recorded signal, which
  // an inverted source names in its own name.
  auto results = nlohmann::ordered_json::parse(read_text(stream.get()));
  const auto& settings = results["settings"];
  const bool computed = (settings["SourceKind"].get<std::int32_t>() & ChannelId::kReferenceMask) == ChannelId::kComputedReference;
  const std::int32_t source = settings["SourceChannel"].get<std::int32_t>();
  const bool beats = computed && frame_->data().channels().contains(source) && frame_->data().channels().recorded_events(source);
  const bool inverted = computed && !beats;
  if (inverted) {
    const std::string name = frame_->data().channels().name(source);
    results["signal"] = std::stoi(name.substr(kInvertedPrefix.size())) - 1;
  }
  if (beats) results["signal"] = nullptr;
  nlohmann::ordered_json out;
  for (auto it = results.begin(); it != results.end(); ++it) {
    if (it.key() == "signal") out["input"] = beats ? "beats" : "signal";
    out[it.key()] = it.value();
    if (it.key() == "signal") out["polarity"] = beats ? nlohmann::ordered_json() : nlohmann::ordered_json(inverted ? "negative" : "positive");
  }
  return out.dump(2) + "\n";
}

void HrvSession::export_beats(IByteStream* stream) const {
  check_evaluation();
  auto exporter = ComPtr<IExtensionDocument>::retain(hrv_document()).query<IAnalysisExport>();
  if (!exporter) throw UsageError("the HRV document cannot export its beats");
  if (FAILED(exporter->ExportEvents(stream))) throw UsageError("the beats could not be exported");
}

std::string HrvSession::beats_csv() const {
  auto stream = make_com<MemoryStream>();
  export_beats(stream.get());
  return read_text(stream.get());
}

namespace {

// An export stream that appends what it is given to a new file; it can only be written.
class FileExportStream final : public ComObject<IByteStream> {
 public:
  explicit FileExportStream(korvel::io::NewFile& file) : file_(file) {}
  HRESULT Read(void*, ULONG, ULONG* read) override {
    if (read) *read = 0;
    return E_NOTIMPL;
  }
  HRESULT Write(const void* buffer, ULONG size, ULONG* written) override {
    if (!buffer && size > 0) return E_POINTER;
    try {
      file_.write(std::string_view(static_cast<const char*>(buffer), size));
    } catch (const std::exception&) {  // kept, to say why once the export has stopped
      failure_ = std::current_exception();
      return E_FAIL;
    }
    if (written) *written = size;
    return S_OK;
  }
  HRESULT Seek(std::int64_t, std::uint32_t, std::uint64_t*) override { return E_NOTIMPL; }
  HRESULT GetSize(std::uint64_t*) override { return E_NOTIMPL; }

  void rethrow_failure() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  korvel::io::NewFile& file_;
  std::exception_ptr failure_;
};

}  // namespace

void HrvSession::write_beats_csv(const std::filesystem::path& path) const {
  korvel::io::NewFile file(path);
  auto stream = make_com<FileExportStream>(file);
  try {
    export_beats(stream.get());
  } catch (const UsageError&) {
    stream->rethrow_failure();  // the file's own error (a full disk) says more
    throw;
  }
  file.close();
}

void HrvSession::save_document(const std::filesystem::path& path, const std::filesystem::path& folder) const {
  try {
    korvel::docfile::save_document(*frame_, path, folder);
  } catch (const std::exception& e) {
    throw UsageError(e.what());
  }
}

}  // namespace korvel_hrv
