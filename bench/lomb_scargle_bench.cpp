// SPDX-License-Identifier: MIT
// The periodogram of a 24-hour recording (100,000 beats, 500 frequencies): the fast
// implementation and the direct long-double oracle on the same beats, so that one run gives
// both the time and the speed-up. The 3,600-beat case is the size of the spectrum that the
// online analysis recomputes after every batch of beats.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "hrv/engine/lomb_scargle.h"
#include "tests/support/lomb_scargle_oracle.h"

namespace {

constexpr std::uint32_t kBins = 500;
constexpr double kMaxFrequency = 0.5;  // Hz
constexpr std::uint32_t kHann = 5;

struct Beats {
  std::vector<double> rr;  // s
  std::vector<double> t;   // s
};

// n beats spread evenly in expectation over `span` seconds, with ±30 % jitter, RR carrying
// a 0.1 Hz oscillation.
Beats uneven_beats(std::size_t n, double span) {
  std::mt19937_64 gen(2024);
  std::uniform_real_distribution<double> jitter(0.7, 1.3);
  Beats b;
  double t = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double rr = span / n * jitter(gen);
    t += rr;
    b.t.push_back(t);
    b.rr.push_back(rr + 0.03 * std::sin(2 * std::numbers::pi * 0.1 * t));
  }
  return b;
}

void set_pair_rate(benchmark::State& state, std::size_t n) {
  state.counters["pairs/s"] =
      benchmark::Counter(static_cast<double>(n) * kBins, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LombScargleFast(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Beats b = uneven_beats(n, state.range(1));
  HRV::PowerSpectrum spectrum;
  for (auto _ : state) {
    HRV::LombScargle(kHann, b.rr, b.t, spectrum, kBins, kMaxFrequency);
    benchmark::DoNotOptimize(spectrum.power.data());
    benchmark::ClobberMemory();
  }
  set_pair_rate(state, n);
}
BENCHMARK(BM_LombScargleFast)->Args({100000, 86400})->Args({3600, 3000})->Unit(benchmark::kMillisecond);

void BM_LombScargleOracle(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Beats b = uneven_beats(n, state.range(1));
  for (auto _ : state) {
    std::vector<double> power = test_support::direct_lomb_scargle(kHann, b.rr, b.t, kBins, kMaxFrequency);
    benchmark::DoNotOptimize(power.data());
  }
  set_pair_rate(state, n);
}
// Seconds per run: a single iteration is measurement enough.
BENCHMARK(BM_LombScargleOracle)->Args({100000, 86400})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
