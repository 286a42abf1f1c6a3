// SPDX-License-Identifier: MIT
// korvel-hrv: the command-line face of the HRV system.
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/korvel-hrv/beat_comparison.h"

namespace {

int run_compare_beats(const std::string& test, const std::string& reference, double window) {
  const auto result = korvel_hrv::compare_beats(korvel_hrv::read_beat_times(test), korvel_hrv::read_beat_times(reference), window);
  std::printf("TP %zu\nFN %zu\nFP %zu\n", result.truePositives, result.falseNegatives, result.falsePositives);
  std::printf("sensitivity %.2f %%\npositive predictivity %.2f %%\n", 100.0 * result.sensitivity(),
              100.0 * result.positivePredictivity());
  std::printf("median offset %.1f ms\n", 1000.0 * result.medianOffsetSec);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"korvel-hrv: heart-rate-variability analysis of recordings"};
  app.require_subcommand(1);

  std::string test, reference;
  double window = 0.15;
  auto* compare = app.add_subcommand("compare-beats", "Compare detected beats with reference beats, one to one within a window");
  compare->add_option("TEST", test, "beats.csv of an analysis, or a WFDB annotation file")->required()->check(CLI::ExistingFile);
  compare->add_option("REFERENCE", reference, "reference beats: WFDB annotation file or beats.csv")->required()->check(CLI::ExistingFile);
  compare->add_option("--window", window, "matching window in seconds")->check(CLI::PositiveNumber)->capture_default_str();

  CLI11_PARSE(app, argc, argv);
  try {
    if (*compare) return run_compare_beats(test, reference, window);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvel-hrv: %s\n", e.what());
    return 1;
  }
  return 0;
}
