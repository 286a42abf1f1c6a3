// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/hrv_session.h"
#include "apps/korvel-hrv/output_set.h"
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/synthetic_ecg.h"
#include "korvel/signal/polarity.h"

namespace korvel_hrv {

namespace {

enum class Polarity { Auto, Positive, Negative };

// A settings file's values by name, with "Preset" as its index; --preset given beside a
// file's "Preset" is a conflict. Every refusal names the file and the key.
nlohmann::json settings_file(const std::optional<std::filesystem::path>& path, const std::optional<std::string>& preset) {
  if (!path) return nlohmann::json::object();
  const std::string name = path->string();
  std::ifstream in(*path);
  if (!in) throw UsageError(name + ": cannot open the settings file");
  nlohmann::json values;
  // Settings are a flat object (a results.json nests a few levels); a file nested deeper is
  // refused while it is read, since copying a value nested thousands deep overflows the stack.
  constexpr int kMaxDepth = 32;
  const auto shallow = [&](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
    if (depth > kMaxDepth)
      throw UsageError(name + ": values nested more than " + std::to_string(kMaxDepth) + " levels deep; settings are a flat object");
    return true;
  };
  try {
    values = nlohmann::json::parse(in, shallow);
  } catch (const nlohmann::json::parse_error& e) {
    // The parser's own words, without its "[json.exception...]" tag.
    const std::string what = e.what();
    const auto tag = what.find("] ");
    throw UsageError(name + ": not valid JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2)));
  }
  const char* example = " (for example {\"Preset\": \"Human\", \"MinRR\": 0.5})";
  if (!values.is_object()) throw UsageError(name + ": settings must be a JSON object of named values" + example);
  // A results.json gives its settings and the polarity it was analysed with.
  if (values.contains("settings")) {
    nlohmann::json settings = values["settings"];
    if (!settings.is_object()) throw UsageError(name + ": \"settings\" must be a JSON object of named values" + example);
    if (values.contains("polarity")) settings["Polarity"] = values["polarity"];
    values = std::move(settings);
  }
  if (values.contains("Preset")) {
    if (preset)
      throw CommandLineError("--preset " + *preset + " and \"Preset\" in " + name +
                             " both choose a preset: give it in one place only");
    auto& p = values["Preset"];
    if (p.is_string()) {
      try {
        p = preset_index(p.get<std::string>());
      } catch (const UsageError& e) {
        throw UsageError(name + ": " + e.what());
      }
    } else if (!p.is_number_integer()) {
      throw UsageError(name + ": setting \"Preset\" must be a preset name such as \"Human\" or its number from 0");
    }
  }
  return values;
}

// Hands the settings to the document; a refusal names the settings file they came from.
void apply_settings(HrvSession& session, const nlohmann::json& values, const std::optional<std::filesystem::path>& file) {
  try {
    session.apply_settings(values);
  } catch (const UsageError& e) {
    if (!file) throw;
    throw UsageError(file->string() + ": " + e.what());
  }
}

// The settings file's values (a bare object, or a results.json whose "settings" and
// "polarity" it takes) with the values given directly over them.
nlohmann::json settings_given(const AnalyzeOptions& options) {
  nlohmann::json values = settings_file(options.settings, options.preset);
  for (const auto& [key, value] : options.settingValues.items()) values[key] = value;
  return values;
}

// The polarity asked for: the option, else the settings file's "Polarity", else auto.
Polarity polarity_asked(const AnalyzeOptions& options, const nlohmann::json& file) {
  std::string name = options.polarity.value_or("auto");
  if (!options.polarity && file.contains("Polarity")) {
    if (!file["Polarity"].is_string()) throw UsageError("setting \"Polarity\" must be \"auto\", \"positive\" or \"negative\"");
    name = file["Polarity"].get<std::string>();
  }
  if (name == "auto") return Polarity::Auto;
  if (name == "positive") return Polarity::Positive;
  if (name == "negative") return Polarity::Negative;
  throw UsageError("unknown polarity \"" + name + "\"; it is auto, positive or negative");
}

// The settings that say what is analysed: the region (from the data and the selection,
// never from a file), the source channel and the polarity that makes it.
constexpr const char* kPlaceSettings[] = {"StartTick", "StartRecord", "EndTick", "EndRecord", "Polarity",
                                          "SourceChannel", "SourceKind", "AnalyseSelection", "ClassifierBox"};

// Whether the classifier box is to be fitted to the recording: the option, else the
// settings file's "ClassifierBox", else not.
bool box_fitted(const AnalyzeOptions& options, const nlohmann::json& file) {
  std::string name = options.box.value_or("preset");
  if (!options.box && file.contains("ClassifierBox")) {
    if (!file["ClassifierBox"].is_string()) throw UsageError("setting \"ClassifierBox\" must be \"auto\" or \"preset\"");
    name = file["ClassifierBox"].get<std::string>();
  }
  if (name != "auto" && name != "preset")
    throw UsageError("unknown classifier box \"" + name + "\"; it is auto (fitted to the recording) or preset");
  return name == "auto";
}

// Fits the classifier box to the analysed beats ("Fit Classifier Box to Beats", which
// analyses again). Warns on stderr when the beats describe no cluster.
void fit_box(HrvSession& session) {
  const std::string before = classifier_box_text(session.results_json());
  if (!session.run_menu("HRV|FitClassifierBox") || classifier_box_text(session.results_json()) == before)
    std::fprintf(stderr,
                 "korvel-hrv: warning: --box auto found no main cluster of beats to fit (it needs at least 20 beats whose "
                 "interval is within 15 %% of both neighbouring intervals); the box stays %s\n",
                 before.c_str());
}

// The named settings of one run: a settings file (a bare object of values, or a results.json
// whose "settings" it takes), then the preset, the analysed source and the selection flag.
nlohmann::json settings_for(const AnalyzeOptions& options, nlohmann::json values, ChannelId source, bool selection) {
  for (const char* key : kPlaceSettings) values.erase(key);
  if (options.preset) values["Preset"] = preset_index(*options.preset);
  values["SourceChannel"] = source.index;
  values["SourceKind"] = source.kind;
  values["AnalyseSelection"] = selection;
  return values;
}

// Picks the deflection to analyse (from the samples of `signal` on auto) and returns the
// channel the detector is to read: the signal, or its inverted computed channel.
// The signal's samples, in pieces every `dt` seconds, are what the automatic choice looks at.
ChannelId orient(HrvSession& session, const AnalyzeOptions& options, const nlohmann::json& file,
                 const std::vector<korvel::signal::SamplePiece>& samples, double dt) {
  Polarity polarity = polarity_asked(options, file);
  if (polarity == Polarity::Auto)
    polarity = korvel::signal::dominant_deflection(samples, dt) == korvel::signal::Polarity::Negative ? Polarity::Negative
                                                                                                       : Polarity::Positive;
  return session.source_channel(options.signal, polarity == Polarity::Negative);
}

korvel::io::LoadOptions load_options(const AnalyzeOptions& options) {
  korvel::io::LoadOptions load;
  load.sampling_rate_hz = options.csvRateHz;
  if (options.input == "signal") load.input = korvel::io::InputKind::Signal;
  if (options.input == "annotations") load.input = korvel::io::InputKind::Annotations;
  if (options.input == "rr") load.input = korvel::io::InputKind::RRList;
  return load;
}

void check_signal(const HrvSession& session, int signal) {
  if (signal < 0 || signal >= session.channel_count())
    throw UsageError("signal " + std::to_string(signal) + " does not exist: the recording has " +
                     std::to_string(session.channel_count()) + " signal(s), numbered from 0");
}

// Writes every output of an analysis into `dir` (results.json, beats.csv, rr.txt, the
// report and the views, channel_calc.csv when the document has that channel) and saves the
// document to `document`, which lies in `dir`, as one set (output_set.h); results.json's text.
std::string write_outputs(HrvSession& session, const std::filesystem::path& dir, const std::filesystem::path& document) {
  OutputSet set(dir);
  const std::filesystem::path& staged = set.staging();
  const std::string results = session.results_json();
  korvel::io::write_new_file(staged / "results.json", results);
  session.write_beats_csv(staged / "beats.csv");
  session.export_rr_intervals(set.staging_by_descriptor() / "rr.txt");
  session.write_views(staged);
  if (const auto calculation = session.channel_calculation_csv()) korvel::io::write_new_file(staged / "channel_calc.csv", *calculation);
  session.save_document(staged / document.filename(), dir);
  const std::string names[] = {"results.json", "beats.csv", "rr.txt", "markup", "views", "plots",
                               "report.html", "index.html", "channel_calc.csv", document.filename().string()};
  set.commit(names);
  return results;
}

// Writes every output, then prints the summary or results.json, and warns when the
// statistics leave many of the detected beats out. analyze, sample and edit all finish
// here, so an edit leaves no output of the analysis before it. `fitted`: the classifier box
// was fitted to this recording (--box auto).
int finish(HrvSession& session, const std::filesystem::path& dir, const std::filesystem::path& document, bool json,
           bool fitted) {
  const std::string results = write_outputs(session, dir, document);
  const std::string summary = summary_of(results, dir, fitted);
  std::fputs(json ? results.c_str() : summary.c_str(), stdout);
  print_warnings(results);
  if (const auto warning = exclusion_warning(results, fitted)) std::fprintf(stderr, "korvel-hrv: warning: %s\n", warning->c_str());
  return 0;
}

int finish(HrvSession& session, const AnalyzeOptions& options, bool fitted) {
  if (options.channelCalc) session.add_channel_calculation(*options.channelCalc);
  return finish(session, options.out, options.out / kDocumentFileName, options.json, fitted);
}

// The channel to analyse: imported beats as they are, else the signal asked for, oriented.
ChannelId analysis_source(HrvSession& session, const AnalyzeOptions& options, const nlohmann::json& file) {
  if (const auto beats = session.imported_beats()) return *beats;
  check_signal(session, options.signal);
  const auto [samples, dt] = session.signal_samples(options.signal);
  return orient(session, options, file, samples, dt);
}

}  // namespace

Prepared open_prepared(HrvSession& session, const std::filesystem::path& recording, const AnalyzeOptions& options,
                       bool selection) {
  session.open_recording(recording, load_options(options));
  const nlohmann::json file = settings_given(options);
  const ChannelId source = analysis_source(session, options, file);
  apply_settings(session, settings_for(options, file, source, selection), options.settings);
  return {source, box_fitted(options, file)};
}

Prepared open_for_live(HrvSession& session, const korvel::io::Recording& data, const std::filesystem::path& recording,
                       const AnalyzeOptions& options) {
  if (data.records.front().channels.empty())
    throw UsageError(recording.string() + ": holds beats, not signals, and cannot be sampled; analyze it instead");
  session.open_for_sampling(data, recording);
  check_signal(session, options.signal);
  // The file being replayed decides the polarity, as a recording of the same signal would.
  const nlohmann::json file = settings_given(options);
  std::vector<korvel::signal::SamplePiece> samples;
  for (const auto& record : data.records) {
    const korvel::io::Channel& channel = record.channels.at(static_cast<std::size_t>(options.signal));
    samples.push_back({channel.length(), [&channel](std::size_t from, std::size_t n, float* out) { channel.read(from, n, out); }});
  }
  const double dt = data.records.front().tick_interval_s;
  const ChannelId source = orient(session, options, file, samples, dt);
  apply_settings(session, settings_for(options, file, source, false), options.settings);
  // "Analyze while Sampling", as the user switches it on before recording.
  session.run_macro("HRV_ToggleOnlineMode");
  return {source, box_fitted(options, file)};
}

std::string write_analysis(HrvSession& session, const AnalyzeOptions& options) {
  return write_outputs(session, options.out, options.out / kDocumentFileName);
}

bool analyse_open_document(HrvSession& session, const AnalyzeOptions& options, const std::string& label) {
  if (options.from.has_value() != options.to.has_value()) throw CommandLineError("--from and --to go together");
  if (options.from && !(*options.from >= 0 && *options.from < *options.to))
    throw CommandLineError("--from " + shortest_text(*options.from) + " --to " + shortest_text(*options.to) +
                           ": a range needs 0 <= --from < --to (seconds from the start of the recording)");
  const bool selection = options.from.has_value();
  const nlohmann::json file = settings_given(options);
  const ChannelId source = analysis_source(session, options, file);
  apply_settings(session, settings_for(options, file, source, selection), options.settings);
  if (selection) session.select_seconds(*options.from, *options.to, source);
  const bool fitted = box_fitted(options, file);
  Progress progress("analysing " + label);
  session.run_macro("HRV_Analyze");
  if (fitted) fit_box(session);
  return fitted;
}

int analyze(const std::filesystem::path& recording, const AnalyzeOptions& options) {
  HrvSession session;
  session.open_recording(recording, load_options(options));
  const bool fitted = analyse_open_document(session, options, recording.filename().string());
  return finish(session, options, fitted);
}

int table(const std::filesystem::path& recording, double windowSeconds, double stepSeconds, const AnalyzeOptions& options,
          const std::optional<std::filesystem::path>& out) {
  HrvSession session;
  const auto [source, fitted] = open_prepared(session, recording, options, false);
  const double step = stepSeconds > 0 ? stepSeconds : windowSeconds;
  session.check_table_rows(windowSeconds, step);
  std::string csv;
  {
    Progress progress("tabulating " + recording.filename().string());
    // The functions analyse each window with the document's detector, which Analyze sets up.
    session.run_macro("HRV_Analyze");
    if (fitted) fit_box(session);
    csv = session.tabulet_csv(windowSeconds, step, source,
                              [&](double fraction) { progress.done(fraction); });
  }
  if (out)
    write_file_atomically(*out, csv);
  else
    std::fputs(csv.c_str(), stdout);
  return 0;
}

int demo(const std::string& species, std::uint32_t seed, AnalyzeOptions options) {
  const Species& kind = find_species(species);
  const SyntheticEcg ecg = make_synthetic_ecg(kind, 600, seed);
  // The recording goes beside the results, so that the document file can refer to it.
  std::filesystem::create_directories(options.out);
  const auto path = options.out / (ecg.recording.name + ".csv");
  std::string text = "time_s,ECG (mV)\n";
  const auto& record = ecg.recording.records.front();
  char line[64];
  for (std::size_t i = 0; i < record.length(); ++i) {
    std::snprintf(line, sizeof line, "%.6f,%.5f\n", i * record.tick_interval_s, record.channels[0].samples[i]);
    text += line;
  }
  write_file_atomically(path, text);
  if (!options.preset) options.preset = std::string(kind.name == "dog" ? "large dog" : kind.name);
  const int status = analyze(path, options);
  // Where to look next: the report with its six plots, which opens from the file.
  if (status == 0 && !options.json)
    std::printf("open %s\n", std::filesystem::absolute(options.out / "index.html").lexically_normal().string().c_str());
  return status;
}

int synthesize(const std::filesystem::path& header, const std::string& species, double minutes, double rateHz,
               std::uint32_t seed) {
  if (header.extension() != ".hea") throw CommandLineError(header.string() + ": a WFDB header file ends in .hea");
  if (!(minutes > 0) || minutes > 7 * 24 * 60) throw CommandLineError("--minutes must be more than 0 and at most 10080 (7 days)");
  Species kind = find_species(species);
  if (rateHz > 0) kind.sampleRateHz = rateHz;
  const SyntheticEcg ecg = make_synthetic_ecg(kind, minutes * 60, seed);
  const auto& samples = ecg.recording.records.front().channels.front().samples;
  // Format 16 with a gain of 1000 per mV: microvolt resolution, ±32 mV range.
  std::string data(samples.size() * 2, '\0');
  std::uint16_t checksum = 0;  // the 16-bit sum of the samples, as readers verify it
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const long v = std::lround(std::clamp(samples[i] * 1000.0f, -32767.0f, 32767.0f));
    checksum = static_cast<std::uint16_t>(checksum + static_cast<std::uint16_t>(v));
    data[2 * i] = static_cast<char>(v & 0xFF);
    data[2 * i + 1] = static_cast<char>((v >> 8) & 0xFF);
  }
  const std::string name = header.stem().string();
  std::filesystem::path dat = header;
  dat.replace_extension(".dat");
  if (!header.parent_path().empty()) std::filesystem::create_directories(header.parent_path());
  write_file_atomically(dat, data);
  char text[256];
  const long first = samples.empty() ? 0 : std::lround(std::clamp(samples[0] * 1000.0f, -32767.0f, 32767.0f));
  std::snprintf(text, sizeof text, "%s 1 %g %zu\n%s 16 1000/mV 16 0 %ld %d 0 ECG\n", name.c_str(), kind.sampleRateHz,
                samples.size(), dat.filename().c_str(), first, static_cast<std::int16_t>(checksum));
  write_file_atomically(header, text);
  std::printf("%s: %zu samples at %g Hz, %zu beats (%zu premature)\n", header.string().c_str(), samples.size(),
              kind.sampleRateHz, ecg.beatTimes.size(), ecg.ectopic.size());
  return 0;
}

int sample(const std::filesystem::path& recording, double blockSeconds, const AnalyzeOptions& options) {
  if (options.from || options.to) throw CommandLineError("sampling records the whole file: --from and --to do not apply");
  korvel::io::Recording data;
  try {
    data = korvel::io::load_recording(recording, load_options(options));
  } catch (const korvel::io::ImportError& e) {
    throw UsageError(e.what());
  }
  HrvSession session;
  const bool fitted = open_for_live(session, data, recording, options).fitBox;
  {
    Progress progress("sampling " + recording.filename().string());
    session.sample(data, blockSeconds, [&](double fraction) { progress.done(fraction); });
  }
  // Recording is over: the user switches analysis while sampling off again, so that the
  // saved settings are those the analysis was asked with.
  session.run_macro("HRV_ToggleOnlineMode");
  if (fitted) fit_box(session);
  return finish(session, options, fitted);
}

namespace {

// What each edit takes: the names of its times, in order.
struct EditAction {
  const char* name;
  std::vector<const char*> times;
};
const EditAction kEditActions[] = {
    {"add-beat", {"SEC"}}, {"delete-beats", {"FROM", "TO"}}, {"all-normal", {}},
    {"clear", {}},         {"reanalyze", {}},               {"toggle-markers", {}},
};

// The edit as the user typed it, for messages: "delete-beats 20 10".
std::string typed(const EditOptions& options) {
  std::string text = options.action;
  for (double t : options.times) text += " " + shortest_text(t);
  return text;
}

// Refuses an edit the command line gets wrong, naming what was typed.
void check_edit(const EditOptions& options) {
  const bool changesSettings = options.settings || options.preset;
  if (options.macro && !options.action.empty())
    throw CommandLineError("edit \"" + typed(options) + "\" and --macro: give one of them");
  if (options.macro || (options.action.empty() && changesSettings)) return;
  if (options.action.empty()) throw CommandLineError("edit needs an ACTION, --macro FILE, or --settings/--preset");
  const auto action = std::find_if(std::begin(kEditActions), std::end(kEditActions),
                                   [&](const EditAction& a) { return options.action == a.name; });
  if (action == std::end(kEditActions))
    throw CommandLineError("unknown edit \"" + options.action +
                           "\"; the edits are add-beat SEC, delete-beats FROM TO, all-normal, clear, reanalyze, toggle-markers");
  if (options.times.size() != action->times.size()) {
    std::string form = action->name;
    for (const char* t : action->times) form += std::string(" ") + t;
    throw CommandLineError("edit \"" + typed(options) + "\": it is written \"" + form + "\"" +
                           (action->times.empty() ? "" : " (seconds from the start of the recording)"));
  }
  for (double t : options.times)
    if (!(t >= 0)) throw CommandLineError("edit \"" + typed(options) + "\": times are seconds from the start, 0 or more");
  if (options.action == "delete-beats" && !(options.times[0] < options.times[1]))
    throw CommandLineError("edit \"" + typed(options) + "\": FROM must come before TO");
}

// Analyses the document again over the region of `results` (its results.json as opened):
// an analysis of a selection takes its region from the selection, so that is made again.
void reanalyse(HrvSession& session, const nlohmann::json& results, ChannelId channel) {
  const auto& start = results["region"]["start"]["seconds"];
  const auto& end = results["region"]["end"]["seconds"];
  if (results["settings"]["AnalyseSelection"].get<bool>() && start.is_number() && end.is_number())
    session.select_seconds(start.get<double>(), end.get<double>(), channel);
  session.run_macro("HRV_Analyze");
}

}  // namespace

int edit(const std::filesystem::path& document, const EditOptions& options) {
  check_edit(options);
  HrvSession session;
  session.open_document(document, options.reattach);
  // Edits select on the analysed channel: the recorded signal, or the imported beats.
  const nlohmann::json opened = nlohmann::json::parse(session.results_json());
  const auto& signal = opened["signal"];
  const ChannelId channel =
      session.imported_beats().value_or(ChannelId{signal.is_number() ? signal.get<int>() : 0, ChannelId::kDefaultKind});
  if (options.settings || options.preset) {
    // New settings, then the analysis again with them; the document keeps its signal,
    // polarity and region.
    nlohmann::json values = settings_file(options.settings, options.preset);
    for (const char* key : kPlaceSettings) values.erase(key);
    if (options.preset) values["Preset"] = preset_index(*options.preset);
    apply_settings(session, values, options.settings);
    reanalyse(session, opened, channel);
  }
  const std::string& a = options.action;
  bool done = true;
  if (options.macro) {
    session.replay_macro_file(*options.macro);
  } else if (a == "add-beat") {
    session.select_point_seconds(options.times[0], channel);
    done = session.run_menu("HRV|AddMarker");
  } else if (a == "delete-beats") {
    session.select_seconds(options.times[0], options.times[1], channel);
    done = session.run_menu("HRV|RemoveMarker");
  } else if (a == "all-normal") {
    done = session.run_menu("HRV|AllBeatsNormal");
  } else if (a == "clear") {
    session.run_macro("HRV_ClearAnalysis");
  } else if (a == "reanalyze") {
    reanalyse(session, opened, channel);
  } else if (a == "toggle-markers") {
    session.run_macro("HRV_ToggleEventMarkers");
  }
  if (!done) throw UsageError("edit \"" + typed(options) + "\" is not possible now: the document holds no analysis");
  if (a == "all-normal") {
    // The box is a setting: say what it became, since every later analysis uses it.
    const auto settings = nlohmann::json::parse(session.results_json())["settings"];
    char text[200];
    std::snprintf(text, sizeof text, "all-normal: classifier box now RR %.4g-%.4g s, FF %.4g-%.4g (it is saved with the document)\n",
                  settings["MinRR"].get<double>(), settings["MaxRR"].get<double>(), settings["MinFF"].get<double>(),
                  settings["MaxFF"].get<double>());
    std::fputs(text, stderr);
  }
  const std::filesystem::path dir = document.parent_path().empty() ? std::filesystem::path(".") : document.parent_path();
  return finish(session, dir, document, options.json, false);
}

}  // namespace korvel_hrv
