// SPDX-License-Identifier: MIT
// Time to open the shared real recordings (skipped when ../shared/data is absent; the
// HRV_SHARED_DATA environment variable overrides the folder) and to parse delimited text.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "korvel/io/csv_import.h"
#include "korvel/io/load_recording.h"
#include "korvel/io/wfdb_annotations.h"

namespace {

std::filesystem::path shared(const char* relative) {
  const char* env = std::getenv("HRV_SHARED_DATA");
  return std::filesystem::path(env != nullptr ? env : HRV_SHARED_DATA_DIR) / relative;
}

void load(benchmark::State& state, const char* relative) {
  const auto file = shared(relative);
  if (!std::filesystem::exists(file)) {
    state.SkipWithError(("shared recording " + file.string() + " not found").c_str());
    return;
  }
  std::size_t samples = 0;
  for (auto _ : state) {
    const korvel::io::Recording recording = korvel::io::load_recording(file);
    samples = recording.records.front().length() * recording.records.front().channels.size();
    benchmark::DoNotOptimize(recording.records.front().channels.front().samples.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples));
  state.counters["samples"] = static_cast<double>(samples);
}

void BM_Wfdb212TwoSignals30Minutes(benchmark::State& state) { load(state, "mitdb/100.hea"); }
void BM_Wfdb16OneSignal21Minutes1kHz(benchmark::State& state) { load(state, "animal/Mouse_24.hea"); }
void BM_Wfdb80TwoSignals3Hours(benchmark::State& state) { load(state, "long/3975656_0006.hea"); }

void BM_AnnotationsOf24Hours(benchmark::State& state) {
  const auto file = shared("rr24h/nsr001.ecg");
  if (!std::filesystem::exists(file)) {
    state.SkipWithError(("shared recording " + file.string() + " not found").c_str());
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(korvel::io::read_wfdb_annotations(file).annotations.size());
}

// Ten minutes of three channels at 250 Hz with a time column, as a spreadsheet exports it.
void BM_DelimitedTextThreeChannels(benchmark::State& state) {
  std::string text = "time (s),ECG (mV),ABP (mmHg),resp\n";
  constexpr int kRows = 150000;
  for (int i = 0; i < kRows; ++i) {
    char line[96];
    const double t = i / 250.0;
    std::snprintf(line, sizeof line, "%.4f,%.5f,%.2f,%.4f\n", t, std::sin(7.5 * t), 90 + 20 * std::sin(7.5 * t + 1),
                  std::sin(1.6 * t));
    text += line;
  }
  for (auto _ : state) benchmark::DoNotOptimize(korvel::io::parse_delimited_text(text, 0, "bench.csv").length());
  state.SetItemsProcessed(state.iterations() * kRows);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_Wfdb212TwoSignals30Minutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wfdb16OneSignal21Minutes1kHz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wfdb80TwoSignals3Hours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnotationsOf24Hours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DelimitedTextThreeChannels)->Unit(benchmark::kMillisecond);
