// SPDX-License-Identifier: MIT
// The cost of one new beat while the host samples: the incremental statistics plus the full
// spectrum and band powers over all beats so far, starting from a 3,600-beat analysis (an
// hour at 60 beats per minute). Each iteration appends one beat, so a run of 200 iterations
// measures analyses of 3,600 to 3,800 beats.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "hrv/core/analysis_results.h"
#include "tests/hrv/core/fake_event_source.h"

namespace {

using test_support::FakeDocumentData;
using test_support::kFiducialChannel;

void BM_AppendOneBeatOnline(benchmark::State& state) {
  const auto initial = static_cast<std::size_t>(state.range(0));
  auto doc = make_com<FakeDocumentData>();
  doc->add_record(0.0, 0.001);
  doc->batchLimit = 256;
  HRV::SettingsFields settings;  // defaults: 500 frequencies to 0.5 Hz, Hann taper
  settings.StartTick = 0;
  settings.StartRecord = 0;
  settings.EndTick = TickPosition::open_end().tick;
  settings.EndRecord = TickPosition::open_end().record;

  std::mt19937_64 gen(7);
  std::normal_distribution<double> noise(0.0, 0.03);
  double t = 0.0;
  auto next_interval = [&] {
    const double rr = 1.0 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen);
    t += rr;
    return rr;
  };

  HRV::AnalysisResults results;
  if (results.StartOnline(doc.get(), settings, kFiducialChannel) != S_OK) {
    state.SkipWithError("StartOnline failed");
    return;
  }
  std::vector<double> history(initial + 2);  // the first two beats have no intervals
  for (double& rr : history) rr = next_interval();
  doc->append_intervals(0, history);
  results.AddOnlineBeats();

  for (auto _ : state) {
    state.PauseTiming();
    const double rr = next_interval();
    doc->append_intervals(0, std::span(&rr, 1));
    state.ResumeTiming();
    if (results.AddOnlineBeats() != S_OK) {
      state.SkipWithError("the new beat was not added");
      break;
    }
  }
  state.counters["beats"] = static_cast<double>(results.beatCount);
}
BENCHMARK(BM_AppendOneBeatOnline)->Arg(3600)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
