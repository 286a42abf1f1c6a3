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
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/synthetic_ecg.h"
#include "korvel/signal/polarity.h"

namespace korvel_hrv {

namespace {

enum class Polarity { Auto, Positive, Negative };

nlohmann::json settings_file(const AnalyzeOptions& options) {
  if (!options.settings) return nlohmann::json::object();
  std::ifstream in(*options.settings);
  if (!in) throw UsageError(options.settings->string() + ": cannot open the settings file");
  try {
    nlohmann::json values = nlohmann::json::parse(in);
    if (!values.is_object()) throw UsageError(options.settings->string() + ": settings must be a JSON object");
    // A results.json gives its settings and the polarity it was analysed with.
    if (values.contains("settings")) {
      nlohmann::json settings = values["settings"];
      if (values.contains("polarity") && settings.is_object()) settings["Polarity"] = values["polarity"];
      values = settings;
    }
    return values;
  } catch (const nlohmann::json::exception& e) {
    throw UsageError(options.settings->string() + ": not valid JSON (" + e.what() + ")");
  }
}

// The settings file's values (a bare object, or a results.json whose "settings" and
// "polarity" it takes) with the values given directly over them.
nlohmann::json settings_given(const AnalyzeOptions& options) {
  nlohmann::json values = settings_file(options);
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

// The named settings of one run: a settings file (a bare object of values, or a results.json
// whose "settings" it takes), then the preset, the analysed source and the selection flag.
nlohmann::json settings_for(const AnalyzeOptions& options, nlohmann::json values, ChannelId source, bool selection) {
  // The region comes from the data and the selection, never from a file; the source is
  // the signal asked for, as the polarity makes it.
  for (const char* key : {"StartTick", "StartRecord", "EndTick", "EndRecord", "Polarity", "SourceKind"}) values.erase(key);
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
                 const std::vector<std::span<const float>>& samples, double dt) {
  Polarity polarity = polarity_asked(options, file);
  if (polarity == Polarity::Auto)
    polarity = korvel::signal::dominant_deflection(samples, dt) == korvel::signal::Polarity::Negative ? Polarity::Negative
                                                                                                       : Polarity::Positive;
  return session.source_channel(options.signal, polarity == Polarity::Negative);
}

void check_signal(const HrvSession& session, int signal) {
  if (signal < 0 || signal >= session.channel_count())
    throw UsageError("signal " + std::to_string(signal) + " does not exist: the recording has " +
                     std::to_string(session.channel_count()) + " signal(s), numbered from 0");
}

// Writes the outputs, then prints the summary.
int finish(HrvSession& session, const AnalyzeOptions& options) {
  const std::string results = write_analysis(session, options);
  if (options.json)
    std::fputs(results.c_str(), stdout);
  else
    std::fputs(summary_of(results, options.out).c_str(), stdout);
  return 0;
}

}  // namespace

std::string write_analysis(HrvSession& session, const AnalyzeOptions& options) {
  std::filesystem::create_directories(options.out);
  const std::string results = session.results_json();
  write_file_atomically(options.out / "results.json", results);
  write_file_atomically(options.out / "beats.csv", session.beats_csv());
  session.export_rr_intervals(options.out / "rr.txt");
  session.write_views(options.out);
  if (options.channelCalc)
    write_file_atomically(options.out / "channel_calc.csv", session.channel_calculation_csv(*options.channelCalc));
  session.save_document(options.out / kDocumentFileName);
  return results;
}

void analyse_open_document(HrvSession& session, const AnalyzeOptions& options, const std::string& label) {
  if (options.from.has_value() != options.to.has_value()) throw UsageError("--from and --to go together");
  check_signal(session, options.signal);
  const bool selection = options.from.has_value();
  const nlohmann::json file = settings_given(options);
  const auto [samples, dt] = session.signal_samples(options.signal);
  const ChannelId source = orient(session, options, file, samples, dt);
  session.apply_settings(settings_for(options, file, source, selection));
  if (selection) session.select_seconds(*options.from, *options.to, options.signal);
  Progress progress("analysing " + label);
  session.run_macro("HRV_Analyze");
}

int analyze(const std::filesystem::path& recording, const AnalyzeOptions& options) {
  HrvSession session;
  korvel::io::LoadOptions load;
  load.sampling_rate_hz = options.csvRateHz;
  session.open_recording(recording, load);
  analyse_open_document(session, options, recording.filename().string());
  return finish(session, options);
}

int table(const std::filesystem::path& recording, double windowSeconds, double stepSeconds, const AnalyzeOptions& options,
          const std::optional<std::filesystem::path>& out) {
  HrvSession session;
  korvel::io::LoadOptions load;
  load.sampling_rate_hz = options.csvRateHz;
  session.open_recording(recording, load);
  check_signal(session, options.signal);
  const nlohmann::json file = settings_given(options);
  const auto [samples, dt] = session.signal_samples(options.signal);
  session.apply_settings(settings_for(options, file, orient(session, options, file, samples, dt), false));
  std::string csv;
  {
    Progress progress("tabulating " + recording.filename().string());
    // The functions analyse each window with the document's detector, which Analyze sets up.
    session.run_macro("HRV_Analyze");
    csv = session.tabulet_csv(windowSeconds, stepSeconds > 0 ? stepSeconds : windowSeconds, options.signal);
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
  if (header.extension() != ".hea") throw UsageError(header.string() + ": a WFDB header file ends in .hea");
  if (!(minutes > 0) || minutes > 48 * 60) throw UsageError("--minutes must be more than 0 and at most 2880");
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
  if (options.from || options.to) throw UsageError("sampling records the whole file: --from and --to do not apply");
  korvel::io::Recording data;
  try {
    data = korvel::io::load_recording(recording);
  } catch (const korvel::io::ImportError& e) {
    throw UsageError(e.what());
  }
  HrvSession session;
  session.open_for_sampling(data, recording);
  check_signal(session, options.signal);
  // The file being replayed decides the polarity, as a recording of the same signal would.
  const nlohmann::json file = settings_given(options);
  std::vector<std::span<const float>> samples;
  for (const auto& record : data.records) samples.emplace_back(record.channels.at(static_cast<std::size_t>(options.signal)).samples);
  const double dt = data.records.front().tick_interval_s;
  session.apply_settings(settings_for(options, file, orient(session, options, file, samples, dt), false));
  // "Analyze while Sampling", as the user switches it on before recording.
  session.run_macro("HRV_ToggleOnlineMode");
  {
    Progress progress("sampling " + recording.filename().string());
    session.sample(data, blockSeconds);
  }
  // Recording is over: the user switches analysis while sampling off again, so that the
  // saved settings are those the analysis was asked with.
  session.run_macro("HRV_ToggleOnlineMode");
  return finish(session, options);
}

int edit(const std::filesystem::path& document, const EditOptions& options) {
  HrvSession session;
  session.open_document(document);
  const int signal = nlohmann::json::parse(session.results_json())["signal"].get<int>();
  const std::string& a = options.action;
  bool done = true;
  if (options.macro) {
    session.replay_macro_file(*options.macro);
  } else if (a == "add-beat") {
    session.select_point_seconds(options.at, signal);
    done = session.run_menu("HRV|AddMarker");
  } else if (a == "delete-beats") {
    session.select_seconds(options.at, options.to, signal);
    done = session.run_menu("HRV|RemoveMarker");
  } else if (a == "all-normal") {
    done = session.run_menu("HRV|AllBeatsNormal");
  } else if (a == "clear") {
    session.run_macro("HRV_ClearAnalysis");
  } else if (a == "reanalyze") {
    session.run_macro("HRV_Analyze");
  } else if (a == "toggle-markers") {
    session.run_macro("HRV_ToggleEventMarkers");
  } else {
    throw UsageError("unknown edit \"" + a + "\"");
  }
  if (!done) throw UsageError("\"" + a + "\" is not possible now (is there an analysis?)");
  AnalyzeOptions out;
  out.out = document.parent_path().empty() ? std::filesystem::path(".") : document.parent_path();
  out.json = options.json;
  std::filesystem::create_directories(out.out);
  const std::string results = session.results_json();
  write_file_atomically(out.out / "results.json", results);
  write_file_atomically(out.out / "beats.csv", session.beats_csv());
  // The plots and the report show the edited analysis too.
  session.write_views(out.out);
  session.save_document(document);
  std::fputs(options.json ? results.c_str() : summary_of(results, out.out).c_str(), stdout);
  return 0;
}

}  // namespace korvel_hrv
