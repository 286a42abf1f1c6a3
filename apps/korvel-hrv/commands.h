// SPDX-License-Identifier: MIT
// The tool's commands. Each returns the process exit status and throws UsageError (or
// another std::exception) with a message for the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace korvel_hrv {

class HrvSession;

struct AnalyzeOptions {
  int signal = 0;
  std::optional<std::string> preset;
  std::optional<double> from, to;
  std::optional<std::filesystem::path> settings;
  // Settings by name given directly (the Python module's `settings`), over the file's.
  nlohmann::json settingValues = nlohmann::json::object();
  std::filesystem::path out = "out";
  bool json = false;
  double csvRateHz = 0;  // sampling rate for delimited text without a time column
  std::optional<int> channelCalc;  // add an "HRV Calculation" channel of this parameter
  // Which deflection of the signal carries the beat: "auto" (the default: decided from the
  // recording), "positive" or "negative" (the signal is analysed inverted). Unset: the
  // settings file's "Polarity", else "auto".
  std::optional<std::string> polarity;
};

int analyze(const std::filesystem::path& recording, const AnalyzeOptions& options);
// What `analyze` does once the recording is open in `session`: the settings (file, values,
// preset, polarity), the selection, then "Analyze". `label` names the recording in the
// progress line. The command-line tool and the Python module share it.
void analyse_open_document(HrvSession& session, const AnalyzeOptions& options, const std::string& label);
// Writes what `analyze` writes into options.out: results.json, beats.csv, rr.txt, the
// report and the plots, channel_calc.csv when asked, and the document file. Returns the
// results.json text.
std::string write_analysis(HrvSession& session, const AnalyzeOptions& options);
// Writes the built-in synthetic recording of `species` to the output folder and analyses it.
int demo(const std::string& species, std::uint32_t seed, AnalyzeOptions options);
// Every Tabulet function over consecutive windows of the recording, as CSV.
int table(const std::filesystem::path& recording, double windowSeconds, double stepSeconds, const AnalyzeOptions& options,
          const std::optional<std::filesystem::path>& out);

// Records `recording` as if it were sampled live with analysis while sampling on.
int sample(const std::filesystem::path& recording, double blockSeconds, const AnalyzeOptions& options);

// Writes the synthetic recording of `species` as a WFDB record (header `header`, 16-bit
// samples in microvolts beside it), e.g. to try the tool on long recordings.
int synthesize(const std::filesystem::path& header, const std::string& species, double minutes, double rateHz,
               std::uint32_t seed);

struct EditOptions {
  std::string action;  // add-beat, delete-beats, all-normal, clear, reanalyze, toggle-markers
  double at = 0, to = 0;
  std::optional<std::filesystem::path> macro;
  bool json = false;
};
// Applies one edit (or replays a macro) to a saved document, saves it and rewrites its
// results beside it.
int edit(const std::filesystem::path& document, const EditOptions& options);

// The document file an analysis writes into its output folder.
inline constexpr const char* kDocumentFileName = "document.korvel";

}  // namespace korvel_hrv
