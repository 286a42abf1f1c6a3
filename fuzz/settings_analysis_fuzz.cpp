// SPDX-License-Identifier: MIT
// Arbitrary bytes as a stored settings stream, loaded and repaired as a document loads it,
// then used: the statistics, histograms, SDARR groups and spectrum of five fixed minutes of
// beats, recomputed and updated beat by beat. Whatever loads must finish quickly
// (libFuzzer's -timeout makes a hang a finding) and within memory that follows from the beats.
#include <cmath>
#include <cstdint>
#include <vector>

#include "hrv/core/analysis_results.h"
#include "hrv/core/settings.h"
#include "hrv/core/settings_properties.h"
#include "hrv/engine/beat_statistics.h"
#include "hrv/engine/recalc_mask.h"
#include "sdk/cpp/memory_stream.h"

namespace {

// Five minutes of beats around 0.8 s with a 0.1 Hz rhythm, on 1 ms ticks.
std::vector<HRV::FiducialEvent> hour_of_beats() {
  std::vector<HRV::FiducialEvent> beats;
  double t = 0.0, previous = 0.8;
  while (t < 300.0) {
    const double rr = 0.8 + 0.05 * std::sin(0.2 * 3.141592653589793 * t);
    t += rr;
    HRV::FiducialEvent e;
    e.tick = static_cast<std::int32_t>(std::lround(t * 1000.0));
    e.rr = rr, e.deltaRR = rr - previous, e.rate = 1.0 / rr, e.ff = 1.2;
    e.flags = HRV::UseRR | HRV::UseDeltaRR;
    beats.push_back(e);
    previous = rr;
  }
  return beats;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<HRV::FiducialEvent> beats = hour_of_beats();
  auto settings = make_com<HRV::Settings>();
  auto in = make_com<MemoryStream>(std::vector<std::uint8_t>(data, data + size));
  if (settings->Load(in.get()) != S_OK) return 0;
  HRV::reset_out_of_range(*settings);
  const HRV::StatisticsOptions options = HRV::statistics_options(*settings);

  HRV::BeatStatistics s;
  s.Reset();
  auto time_of = [](std::int32_t tick, std::int32_t) { return tick / 1000.0; };
  for (const auto& e : beats) s.Take(e, 0, time_of);
  s.startTime = 0.0;
  s.endTime = 300.0;
  s.Recompute(HRV::RecalcAnyResult, options);

  // While sampling: the same beats folded in one at a time.
  HRV::BeatStatistics online;
  online.Reset();
  online.StartIncremental(options, 0.0);
  for (std::size_t i = 0; i < beats.size(); ++i)
    if (online.Take(beats[i], 0, time_of) == HRV::BeatStatistics::Taken::Included) online.FoldInLastBeat();
  return 0;
}
