// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/commands.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/hrv_session.h"
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/synthetic_ecg.h"

namespace korvel_hrv {

namespace {

// The named settings of one run: a settings file (a bare object of values, or a results.json
// whose "settings" it takes), then the preset, the signal and the selection flag.
nlohmann::json settings_for(const AnalyzeOptions& options, bool selection) {
  nlohmann::json values = nlohmann::json::object();
  if (options.settings) {
    std::ifstream in(*options.settings);
    if (!in) throw UsageError(options.settings->string() + ": cannot open the settings file");
    try {
      values = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
      throw UsageError(options.settings->string() + ": not valid JSON (" + e.what() + ")");
    }
    if (values.contains("settings")) values = values["settings"];
    // The region comes from the data and the selection, never from a file.
    for (const char* key : {"StartTick", "StartRecord", "EndTick", "EndRecord"}) values.erase(key);
  }
  if (options.preset) values["Preset"] = preset_index(*options.preset);
  values["SourceChannel"] = options.signal;
  values["AnalyseSelection"] = selection;
  return values;
}

void check_signal(const HrvSession& session, int signal) {
  if (signal < 0 || signal >= session.channel_count())
    throw UsageError("signal " + std::to_string(signal) + " does not exist: the recording has " +
                     std::to_string(session.channel_count()) + " signal(s), numbered from 0");
}

// Writes results.json, beats.csv and the document file, then prints the summary.
int finish(HrvSession& session, const AnalyzeOptions& options) {
  std::filesystem::create_directories(options.out);
  const std::string results = session.results_json();
  write_file_atomically(options.out / "results.json", results);
  write_file_atomically(options.out / "beats.csv", session.beats_csv());
  session.save_document(options.out / kDocumentFileName);
  if (options.json)
    std::fputs(results.c_str(), stdout);
  else
    std::fputs(summary_of(results, options.out).c_str(), stdout);
  return 0;
}

}  // namespace

int analyze(const std::filesystem::path& recording, const AnalyzeOptions& options) {
  if (options.from.has_value() != options.to.has_value()) throw UsageError("--from and --to go together");
  HrvSession session;
  korvel::io::LoadOptions load;
  load.sampling_rate_hz = options.csvRateHz;
  session.open_recording(recording, load);
  check_signal(session, options.signal);
  const bool selection = options.from.has_value();
  session.apply_settings(settings_for(options, selection));
  if (selection) session.select_seconds(*options.from, *options.to, options.signal);
  {
    Progress progress("analysing " + recording.filename().string());
    session.run_macro("HRV_Analyze");
  }
  return finish(session, options);
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
  return analyze(path, options);
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
  session.apply_settings(settings_for(options, false));
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
  nlohmann::json settings = nlohmann::json::parse(session.results_json())["settings"];
  const int signal = settings["SourceChannel"].get<int>();
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
  session.save_document(document);
  std::fputs(options.json ? results.c_str() : summary_of(results, out.out).c_str(), stdout);
  return 0;
}

}  // namespace korvel_hrv
