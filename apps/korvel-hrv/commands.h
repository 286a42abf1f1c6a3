// SPDX-License-Identifier: MIT
// The tool's commands. Each returns the process exit status and throws UsageError (or
// another std::exception) with a message for the user.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "korvel/io/recording.h"
#include "sdk/host/channel_id.h"

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
  // The classifier box: "auto" fits it to the recording's main cluster of beats after a
  // first analysis (then analyses again), "preset" keeps the preset's box or the settings
  // file's edges. Unset: the settings file's "ClassifierBox", else "preset".
  std::optional<std::string> box;
  // What the file holds: "signal", "annotations" (beat annotations) or "rr" (an RR list);
  // unset: recognised from its content.
  std::optional<std::string> input;
};

class HrvSession;

// What preparing a run decided: the channel it analyses and whether the classifier box is
// to be fitted to the recording's beats once they are analysed (--box auto).
struct Prepared {
  ChannelId source;
  bool fitBox = false;
};

// Opens `recording` in `session` ready to be analysed as `analyze` analyses it: the signal
// checked (or the imported beats taken), its polarity decided, the settings file, preset
// and selection flag applied.
Prepared open_prepared(HrvSession& session, const std::filesystem::path& recording, const AnalyzeOptions& options,
                       bool selection);

// An empty document with the channels of `data` (read from `recording`), ready to sample
// it as `sample` does: the polarity decided from the file, the settings applied and
// "Analyze while Sampling" switched on.
Prepared open_for_live(HrvSession& session, const korvel::io::Recording& data, const std::filesystem::path& recording,
                       const AnalyzeOptions& options);

int analyze(const std::filesystem::path& recording, const AnalyzeOptions& options);
// What `analyze` does once the recording is open in `session`: the settings (file, values,
// preset, polarity), the selection, then "Analyze", and the box fitted when asked (then
// true). `label` names the recording in the progress line. The command-line tool and the
// Python module share it.
bool analyse_open_document(HrvSession& session, const AnalyzeOptions& options, const std::string& label);
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
  std::string action;          // add-beat, delete-beats, all-normal, clear, reanalyze, toggle-markers
  std::vector<double> times;   // the seconds the action takes, as typed
  std::optional<std::filesystem::path> macro;
  std::optional<std::filesystem::path> settings;  // as analyze takes them; the analysis is redone
  std::optional<std::string> preset;
  bool json = false;
  bool reattach = false;  // open it although its recording changed since it was saved
};
// Applies new settings, then one edit or a macro, to a saved document; saves it and
// rewrites every output of the analysis beside it. CommandLineError for an edit written
// wrong, naming what was typed.
int edit(const std::filesystem::path& document, const EditOptions& options);

// The document file an analysis writes into its output folder.
inline constexpr const char* kDocumentFileName = "document.korvel";

}  // namespace korvel_hrv
