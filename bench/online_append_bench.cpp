// SPDX-License-Identifier: MIT
// The cost of one new beat while the host samples: the incremental statistics plus the full
// spectrum and band powers over all beats so far, starting from a 3,600-beat analysis (an
// hour at 60 beats per minute). Each iteration appends one beat, so a run of 200 iterations
// measures analyses of 3,600 to 3,800 beats. The engine is driven directly, as the
// document's analysis drives it for every batch that holds one new beat.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

#include "hrv/engine/beat_statistics.h"

namespace {

void BM_AppendOneBeatOnline(benchmark::State& state) {
  const auto initial = static_cast<std::size_t>(state.range(0));
  const HRV::StatisticsOptions options;  // defaults: 500 frequencies to 0.5 Hz, Hann taper

  std::mt19937_64 gen(7);
  std::normal_distribution<double> noise(0.0, 0.03);
  double t = 0.0, previous = 1.0;
  std::int32_t number = 0;
  // A normal beat with its interval from a 0.1 Hz rhythm plus noise.
  auto next_beat = [&] {
    HRV::FiducialEvent e;
    e.rr = 1.0 + 0.05 * std::sin(2 * std::numbers::pi * 0.1 * t) + noise(gen);
    e.deltaRR = e.rr - previous;
    e.rate = 1.0 / e.rr;
    e.flags = HRV::UseRR | HRV::UseDeltaRR;
    t += e.rr;
    previous = e.rr;
    e.tick = static_cast<std::int32_t>(std::lround(t * 1000));
    e.beatNumber = ++number;
    return e;
  };
  const auto time_of = [](std::int32_t tick, std::int32_t) { return tick * 0.001; };

  HRV::BeatStatistics results;
  results.Reset();
  results.StartIncremental(options, 0.0);
  for (std::size_t i = 0; i < initial; ++i)
    if (results.Take(next_beat(), 0, time_of) == HRV::BeatStatistics::Taken::Included) results.FoldInLastBeat();
  results.FinishBatch(options);

  for (auto _ : state) {
    state.PauseTiming();
    const HRV::FiducialEvent beat = next_beat();
    state.ResumeTiming();
    if (results.Take(beat, 0, time_of) != HRV::BeatStatistics::Taken::Included) {
      state.SkipWithError("the new beat was not included");
      break;
    }
    results.FoldInLastBeat();
    results.FinishBatch(options);
  }
  state.counters["beats"] = static_cast<double>(results.beatCount);
}
BENCHMARK(BM_AppendOneBeatOnline)->Arg(3600)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace
