// SPDX-License-Identifier: MIT
// korvel-hrv: the command-line face of the HRV system.
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "apps/korvel-hrv/batch.h"
#include "apps/korvel-hrv/beat_comparison.h"
#include "apps/korvel-hrv/commands.h"
#include "korvel/io/plausible_values.h"
#include "apps/korvel-hrv/hrv_session.h"
#include "apps/korvel-hrv/serve/serve.h"
#include "apps/korvel-hrv/usage_error.h"

namespace {

// Exit statuses: success, every error, and errors of the command line itself.
constexpr int kSuccess = 0, kFailure = 1, kCommandLineFailure = 2;

// `value` × `scale` with `decimals` and `unit`, or "n/a (why)" when it is undefined.
std::string figure(double value, double scale, int decimals, const char* unit, const char* why) {
  if (!std::isfinite(value)) return std::string("n/a (") + why + ")";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", decimals, value * scale, unit);
  return text;
}

int run_compare_beats(const std::string& test, const std::string& reference, double window) {
  const auto result = korvel_hrv::compare_beats(korvel_hrv::read_beat_times(test), korvel_hrv::read_beat_times(reference), window);
  std::printf("TP %zu\nFN %zu\nFP %zu\n", result.truePositives, result.falseNegatives, result.falsePositives);
  std::printf("sensitivity %s\npositive predictivity %s\nmedian offset %s\n",
              figure(result.sensitivity(), 100, 2, " %", "no reference beats").c_str(),
              figure(result.positivePredictivity(), 100, 2, " %", "no detected beats").c_str(),
              figure(result.medianOffsetSec, 1000, 1, " ms", "no matched beats").c_str());
  return kSuccess;
}

// --preset NAME: one of the species presets, checked while the options are parsed.
std::string check_preset(const std::string& name) {
  try {
    korvel_hrv::preset_index(name);
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

// The number a command-line value is, when the whole of it is one.
std::optional<double> number_of(const std::string& text) {
  try {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

// A number from `low` to `high`, NaN refused: the checks every numeric option goes through
// before any is converted to ticks, rows or blocks.
CLI::Validator number_between(double low, double high) {
  char range[64];
  std::snprintf(range, sizeof range, "%g to %g", low, high);
  return CLI::Validator(
      [low, high, text = std::string(range)](std::string& value) -> std::string {
        const auto number = number_of(value);
        if (!number) return value + " is not a number";
        if (!(*number >= low && *number <= high)) return value + " is outside " + text;
        return {};
      },
      std::string("NUMBER ") + range);
}

// --rate HZ: a plausible sampling rate, so that 0, -5 and nan are each answered for what
// they are.
std::string check_rate(const std::string& text) {
  const auto hz = number_of(text);
  if (!hz) return text + " is not a number of hertz";
  const std::string problem = korvel::io::sampling_rate_problem(*hz);
  return problem.empty() ? std::string() : problem;
}

// The options analyze, demo and sample share.
void add_analysis_options(CLI::App* command, korvel_hrv::AnalyzeOptions& o, bool range) {
  command->add_option("--signal", o.signal, "signal (channel) to analyse, from 0")->capture_default_str();
  command->add_option("--preset", o.preset, "species preset: Human, \"Large Dog\", \"Small Dog\", \"Guinea Pig\", Mouse, Pig, Rabbit, Rat, Custom")
      ->check(check_preset);
  command->add_option("--settings", o.settings, "JSON file of settings by name (or a results.json)");
  command->add_option("--out", o.out, "output folder")->capture_default_str();
  command->add_flag("--json", o.json, "print results.json instead of the summary");
  command->add_option("--rate", o.csvRateHz, "sampling rate in Hz for delimited text without a time column")->check(check_rate);
  command->add_option("--polarity", o.polarity, "deflection that carries the beat: auto (default), positive or negative")
      ->check(CLI::IsMember({"auto", "positive", "negative"}));
  command->add_option("--box", o.box, "classifier box: auto (fitted to the recording's beats) or preset (the default)")
      ->check(CLI::IsMember({"auto", "preset"}));
  if (range) {
    command->add_option("--from", o.from, "start of the range to analyse, seconds")->check(number_between(0, 1e9));
    command->add_option("--to", o.to, "end of the range to analyse, seconds")->check(number_between(0, 1e9));
  }
}

}  // namespace

int main(int argc, char** argv) {
  // An analysis goes through buffers of megabytes one after another (the stages' blocks,
  // each output's text). By default the allocator maps each one afresh and returns it when
  // freed, so every one costs its pages' faults again: about a tenth of a day's analysis on
  // a virtual machine. Kept for reuse instead, up to 64 MiB a buffer and 256 MiB in all.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  CLI::App app{"korvel-hrv: heart-rate-variability analysis of recordings"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "korvel-hrv " KORVEL_HRV_VERSION);

  korvel_hrv::AnalyzeOptions analyzeOptions;
  std::string recording;
  auto* analyze = app.add_subcommand("analyze", "Detect beats and analyse heart-rate variability of a recording");
  analyze->add_option("RECORDING", recording, "WFDB header, EDF/BDF, MATLAB or CSV/TSV file; beat annotations or an RR list")->required();
  add_analysis_options(analyze, analyzeOptions, true);
  analyze->add_option("--input", analyzeOptions.input,
                      "what RECORDING holds: signal, annotations (beats) or rr (an RR interval list); default: recognised from the content")
      ->check(CLI::IsMember({"signal", "annotations", "rr"}));
  analyze->add_option("--channel-calc", analyzeOptions.channelCalc,
                      "add an HRV Calculation channel: 0 beat period (s), 1 change in beat period (s), 2 beat rate (BPM), "
                      "3 activity (variance of the beat's complexity segment, signal unit squared), 4 mobility (1/s), "
                      "5 complexity FF")
      ->check(CLI::IsMember({0, 1, 2, 3, 4, 5}));

  korvel_hrv::AnalyzeOptions tableOptions;
  double tableWindow = 0, tableStep = 0;
  std::optional<std::string> tableOut;
  auto* table = app.add_subcommand("table", "Evaluate every HRV Tabulet function over consecutive windows");
  table->add_option("RECORDING", recording, "recording to tabulate")->required();
  table->add_option("--window", tableWindow, "window length in seconds")->required()->check(number_between(1e-3, 1e9));
  // Any positive step; the rows it gives are counted against their limit before any work.
  table->add_option("--step", tableStep, "distance between window starts in seconds (default: the window)")
      ->check(number_between(1e-300, 1e9));
  table->add_option("--out", tableOut, "CSV file to write (default: standard output)");
  table->add_option("--signal", tableOptions.signal, "signal (channel) to analyse, from 0")->capture_default_str();
  table->add_option("--preset", tableOptions.preset, "species preset")->check(check_preset);
  table->add_option("--settings", tableOptions.settings, "JSON file of settings by name");
  table->add_option("--rate", tableOptions.csvRateHz, "sampling rate in Hz for delimited text without a time column")->check(check_rate);
  table->add_option("--polarity", tableOptions.polarity, "deflection that carries the beat: auto (default), positive or negative")
      ->check(CLI::IsMember({"auto", "positive", "negative"}));
  table->add_option("--box", tableOptions.box, "classifier box: auto (fitted to the recording's beats) or preset (the default)")
      ->check(CLI::IsMember({"auto", "preset"}));

  korvel_hrv::AnalyzeOptions demoOptions;
  std::string species = "human";
  std::uint32_t seed = 1;
  auto* demo = app.add_subcommand("demo", "Analyse the built-in synthetic 10-minute ECG");
  demo->add_option("--species", species, "human, dog, rabbit, rat or mouse")->capture_default_str();
  demo->add_option("--seed", seed, "seed of the synthetic recording")->capture_default_str();
  add_analysis_options(demo, demoOptions, true);

  korvel_hrv::AnalyzeOptions sampleOptions;
  double block = 1.0;
  auto* sample = app.add_subcommand("sample", "Record a file as if sampled live, analysing while sampling");
  sample->add_option("RECORDING", recording, "recording to feed in blocks")->required();
  sample->add_option("--block", block, "block length in seconds, 0.001 to 3600")->capture_default_str()->check(number_between(0.001, 3600));
  add_analysis_options(sample, sampleOptions, false);

  std::string synthHeader, synthSpecies = "human";
  double synthMinutes = 10, synthRate = 0;
  std::uint32_t synthSeed = 1;
  auto* synth = app.add_subcommand("synthesize", "Write the synthetic ECG as a WFDB record, of any length");
  synth->add_option("HEADER", synthHeader, "the record's .hea file to write (the .dat goes beside it)")->required();
  synth->add_option("--species", synthSpecies, "human, dog, rabbit, rat or mouse")->capture_default_str();
  synth->add_option("--minutes", synthMinutes, "length in minutes")->capture_default_str();
  synth->add_option("--rate", synthRate, "sampling rate in Hz, 50 to 20000 (default: the species' own)")->check(number_between(50, 20000));
  synth->add_option("--seed", synthSeed, "seed")->capture_default_str();

  korvel_hrv::EditOptions editOptions;
  std::string document;
  auto* edit = app.add_subcommand("edit", "Edit a saved analysis; every output of analyze beside the document is written again");
  edit->footer(
      "Actions (times in seconds from the start of the recording):\n"
      "  add-beat SEC         a beat placed by hand at SEC (kept through later edits, not through reanalyze)\n"
      "  delete-beats FROM TO every beat in [FROM, TO) removed (kept through later edits, not through reanalyze)\n"
      "  all-normal           the classifier box widened to hold every beat, so that all are normal;\n"
      "                       the new box is printed and saved as the document's setting\n"
      "  clear                the analysis removed; the settings stay\n"
      "  reanalyze            beats detected and analysed again with the document's settings (box included);\n"
      "                       beats added or deleted by hand are dropped\n"
      "  toggle-markers       beat markers on the signal shown or hidden\n"
      "--settings/--preset change the settings (as analyze takes them; the signal, polarity and region stay)\n"
      "and redo the analysis before the action. --macro replays a macro file (see the README).");
  edit->add_option("DOCUMENT", document, "document file written by analyze")->required();
  edit->add_option("ACTION", editOptions.action, "add-beat | delete-beats | all-normal | clear | reanalyze | toggle-markers");
  edit->add_option("SECONDS", editOptions.times, "the times the action takes");
  edit->add_option("--macro", editOptions.macro, "replay a macro file of HRV commands instead of an action");
  edit->add_option("--settings", editOptions.settings, "JSON file of settings by name (or a results.json)");
  edit->add_option("--preset", editOptions.preset, "species preset")->check(check_preset);
  edit->add_flag("--json", editOptions.json, "print results.json instead of the summary");
  edit->add_flag("--reattach", editOptions.reattach,
                 "open the document although its recording changed since it was saved, applying its edits to the new data");

  korvel_hrv::ServeOptions serveOptions;
  std::vector<std::string> serveFiles;
  auto* serve = app.add_subcommand("serve", "Show the host's windows in a browser: a local web application");
  serve->add_option("FILES", serveFiles, "recordings or saved documents (.korvel) to open")->check(CLI::ExistingFile);
  serve->add_option("--port", serveOptions.port, "port on 127.0.0.1 (default: a free one)")->check(CLI::Range(0, 65535));
  serve->add_flag("--live", serveOptions.live, "play the recording into a new document, analysing while sampling");
  serve->add_option("--speed", serveOptions.speed, "with --live: times the recording's own rate")
      ->capture_default_str()
      ->check(number_between(0.001, 10000));
  serve->add_option("--signal", serveOptions.analysis.signal, "signal (channel) to analyse, from 0")->capture_default_str();
  serve->add_option("--preset", serveOptions.analysis.preset, "species preset");
  serve->add_option("--settings", serveOptions.analysis.settings, "JSON file of settings by name")->check(CLI::ExistingFile);
  std::string manifest, batchOut;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  auto* batch = app.add_subcommand("batch", "Analyse every recording of a manifest, each in its own process, into one folder");
  batch->add_option("MANIFEST", manifest, "CSV with a header row: path (required), signal, preset, start, end, settings")
      ->required()->check(CLI::ExistingFile);
  batch->add_option("--out", batchOut, "output folder: one folder per recording, cohort.csv, failures.csv")->required();
  batch->add_option("--jobs", jobs, "recordings analysed at a time (default: the number of processors)")
      ->check(number_between(1, 1024));

  std::string test, reference;
  double window = 0.15;
  auto* compare = app.add_subcommand("compare-beats", "Compare detected beats with reference beats, one to one within a window");
  compare->add_option("TEST", test, "beats.csv of an analysis, or a WFDB annotation file")->required();
  compare->add_option("REFERENCE", reference, "reference beats: WFDB annotation file or beats.csv")->required();
  // A beat matches within a fraction of a heartbeat; a wider window would pair beats with
  // their neighbours, and an absurd one every beat with every other, in memory.
  compare->add_option("--window", window, "matching window in seconds, above 0 and at most 1")
      ->check(number_between(1e-6, 1))
      ->capture_default_str();

  // The one place where failures become exit statuses.
  try {
    app.parse(argc, argv);
    if (*analyze) return korvel_hrv::analyze(recording, analyzeOptions);
    if (*demo) return korvel_hrv::demo(species, seed, demoOptions);
    if (*sample) return korvel_hrv::sample(recording, block, sampleOptions);
    if (*table) {
      std::optional<std::filesystem::path> out;
      if (tableOut) out = *tableOut;
      return korvel_hrv::table(recording, tableWindow, tableStep, tableOptions, out);
    }
    if (*synth) return korvel_hrv::synthesize(synthHeader, synthSpecies, synthMinutes, synthRate, synthSeed);
    if (*edit) return korvel_hrv::edit(document, editOptions);
    if (*batch) return korvel_hrv::batch(manifest, batchOut, jobs);
    if (*compare) return run_compare_beats(test, reference, window);
    if (*serve) {
      serveOptions.files.assign(serveFiles.begin(), serveFiles.end());
      return korvel_hrv::serve(serveOptions);
    }
  } catch (const CLI::ParseError& e) {
    // --help and --version end parsing with status 0; anything else is a usage error.
    return app.exit(e) == 0 ? kSuccess : kCommandLineFailure;
  } catch (const korvel_hrv::CommandLineError& e) {
    std::fprintf(stderr, "korvel-hrv: %s\nRun with --help for more information.\n", e.what());
    return kCommandLineFailure;
  } catch (const std::bad_alloc&) {
    // Inputs are checked against their real size before anything is allocated for them;
    // what is left is a machine without the memory for a recording this long.
    std::fprintf(stderr, "korvel-hrv: out of memory: the input needs more memory than this machine can give; "
                         "analyse a shorter stretch (--from/--to) or fewer signals\n");
    return kFailure;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvel-hrv: %s\n", e.what());
    return kFailure;
  }
  return kSuccess;
}
