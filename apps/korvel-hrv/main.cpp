// SPDX-License-Identifier: MIT
// korvel-hrv: the command-line face of the HRV system.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

#include <CLI/CLI.hpp>

#include "apps/korvel-hrv/batch.h"
#include "apps/korvel-hrv/beat_comparison.h"
#include "apps/korvel-hrv/commands.h"
#include "apps/korvel-hrv/usage_error.h"

namespace {

int run_compare_beats(const std::string& test, const std::string& reference, double window) {
  const auto result = korvel_hrv::compare_beats(korvel_hrv::read_beat_times(test), korvel_hrv::read_beat_times(reference), window);
  std::printf("TP %zu\nFN %zu\nFP %zu\n", result.truePositives, result.falseNegatives, result.falsePositives);
  std::printf("sensitivity %.2f %%\npositive predictivity %.2f %%\n", 100.0 * result.sensitivity(),
              100.0 * result.positivePredictivity());
  std::printf("median offset %.1f ms\n", 1000.0 * result.medianOffsetSec);
  return 0;
}

// The options analyze, demo and sample share.
void add_analysis_options(CLI::App* command, korvel_hrv::AnalyzeOptions& o, bool range) {
  command->add_option("--signal", o.signal, "signal (channel) to analyse, from 0")->capture_default_str();
  command->add_option("--preset", o.preset, "species preset: Human, \"Large Dog\", \"Small Dog\", \"Guinea Pig\", Mouse, Pig, Rabbit, Rat, Custom");
  command->add_option("--settings", o.settings, "JSON file of settings by name (or a results.json)")->check(CLI::ExistingFile);
  command->add_option("--out", o.out, "output folder")->capture_default_str();
  command->add_flag("--json", o.json, "print results.json instead of the summary");
  command->add_option("--rate", o.csvRateHz, "sampling rate in Hz for delimited text without a time column");
  command->add_option("--polarity", o.polarity, "deflection that carries the beat: auto (default), positive or negative")
      ->check(CLI::IsMember({"auto", "positive", "negative"}));
  if (range) {
    command->add_option("--from", o.from, "start of the range to analyse, seconds");
    command->add_option("--to", o.to, "end of the range to analyse, seconds");
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"korvel-hrv: heart-rate-variability analysis of recordings"};
  app.require_subcommand(1);

  korvel_hrv::AnalyzeOptions analyzeOptions;
  std::string recording;
  auto* analyze = app.add_subcommand("analyze", "Detect beats and analyse heart-rate variability of a recording");
  analyze->add_option("RECORDING", recording, "WFDB header, EDF/BDF, MATLAB or CSV/TSV file")->required();
  add_analysis_options(analyze, analyzeOptions, true);
  analyze->add_option("--channel-calc", analyzeOptions.channelCalc,
                      "add an HRV Calculation channel: 0 beat period, 1 change in beat period, 2 beat rate, 5 complexity")
      ->check(CLI::IsMember({0, 1, 2, 3, 4, 5}));

  korvel_hrv::AnalyzeOptions tableOptions;
  double tableWindow = 0, tableStep = 0;
  std::optional<std::string> tableOut;
  auto* table = app.add_subcommand("table", "Evaluate every HRV Tabulet function over consecutive windows");
  table->add_option("RECORDING", recording, "recording to tabulate")->required();
  table->add_option("--window", tableWindow, "window length in seconds")->required()->check(CLI::PositiveNumber);
  table->add_option("--step", tableStep, "distance between window starts in seconds (default: the window)");
  table->add_option("--out", tableOut, "CSV file to write (default: standard output)");
  table->add_option("--signal", tableOptions.signal, "signal (channel) to analyse, from 0")->capture_default_str();
  table->add_option("--preset", tableOptions.preset, "species preset");
  table->add_option("--settings", tableOptions.settings, "JSON file of settings by name")->check(CLI::ExistingFile);
  table->add_option("--rate", tableOptions.csvRateHz, "sampling rate in Hz for delimited text without a time column");
  table->add_option("--polarity", tableOptions.polarity, "deflection that carries the beat: auto (default), positive or negative")
      ->check(CLI::IsMember({"auto", "positive", "negative"}));

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
  sample->add_option("--block", block, "block length in seconds")->capture_default_str()->check(CLI::PositiveNumber);
  add_analysis_options(sample, sampleOptions, false);

  std::string synthHeader, synthSpecies = "human";
  double synthMinutes = 10, synthRate = 0;
  std::uint32_t synthSeed = 1;
  auto* synth = app.add_subcommand("synthesize", "Write the synthetic ECG as a WFDB record, of any length");
  synth->add_option("HEADER", synthHeader, "the record's .hea file to write (the .dat goes beside it)")->required();
  synth->add_option("--species", synthSpecies, "human, dog, rabbit, rat or mouse")->capture_default_str();
  synth->add_option("--minutes", synthMinutes, "length in minutes")->capture_default_str();
  synth->add_option("--rate", synthRate, "sampling rate in Hz (default: the species' own)");
  synth->add_option("--seed", synthSeed, "seed")->capture_default_str();

  korvel_hrv::EditOptions editOptions;
  std::string document;
  std::vector<double> editArguments;
  auto* edit = app.add_subcommand("edit", "Edit the beats of a saved analysis");
  edit->add_option("DOCUMENT", document, "document file written by analyze")->required()->check(CLI::ExistingFile);
  edit->add_option("ACTION", editOptions.action, "add-beat SEC | delete-beats FROM TO | all-normal | clear | reanalyze | toggle-markers");
  edit->add_option("SECONDS", editArguments, "times the action needs");
  edit->add_option("--macro", editOptions.macro, "replay a recorded macro of HRV commands instead")->check(CLI::ExistingFile);
  edit->add_flag("--json", editOptions.json, "print results.json instead of the summary");

  std::string manifest, batchOut;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  auto* batch = app.add_subcommand("batch", "Analyse every recording of a manifest, each in its own process, into one folder");
  batch->add_option("MANIFEST", manifest, "CSV with a header row: path (required), signal, preset, start, end, settings")
      ->required()->check(CLI::ExistingFile);
  batch->add_option("--out", batchOut, "output folder: one folder per recording, cohort.csv, failures.csv")->required();
  batch->add_option("--jobs", jobs, "recordings analysed at a time (default: the number of processors)")
      ->check(CLI::PositiveNumber);

  std::string test, reference;
  double window = 0.15;
  auto* compare = app.add_subcommand("compare-beats", "Compare detected beats with reference beats, one to one within a window");
  compare->add_option("TEST", test, "beats.csv of an analysis, or a WFDB annotation file")->required()->check(CLI::ExistingFile);
  compare->add_option("REFERENCE", reference, "reference beats: WFDB annotation file or beats.csv")->required()->check(CLI::ExistingFile);
  compare->add_option("--window", window, "matching window in seconds")->check(CLI::PositiveNumber)->capture_default_str();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*analyze) return korvel_hrv::analyze(recording, analyzeOptions);
    if (*demo) return korvel_hrv::demo(species, seed, demoOptions);
    if (*sample) return korvel_hrv::sample(recording, block, sampleOptions);
    if (*table) {
      std::optional<std::filesystem::path> out;
      if (tableOut) out = *tableOut;
      return korvel_hrv::table(recording, tableWindow, tableStep, tableOptions, out);
    }
    if (*synth) return korvel_hrv::synthesize(synthHeader, synthSpecies, synthMinutes, synthRate, synthSeed);
    if (*edit) {
      if (!editOptions.macro) {
        const auto& a = editOptions.action;
        const std::size_t needed = a == "add-beat" ? 1 : a == "delete-beats" ? 2 : 0;
        if (a.empty()) throw korvel_hrv::UsageError("edit needs an ACTION or --macro");
        if (editArguments.size() != needed)
          throw korvel_hrv::UsageError("\"" + a + "\" takes " + std::to_string(needed) + " time(s) in seconds");
        if (needed >= 1) editOptions.at = editArguments[0];
        if (needed == 2) editOptions.to = editArguments[1];
      }
      return korvel_hrv::edit(document, editOptions);
    }
    if (*batch) return korvel_hrv::batch(manifest, batchOut, jobs);
    if (*compare) return run_compare_beats(test, reference, window);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvel-hrv: %s\n", e.what());
    return 1;
  }
  return 0;
}
