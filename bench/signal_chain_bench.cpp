// SPDX-License-Identifier: MIT
// The beat detection chain over a synthetic 24-hour, 1 kHz ECG, streamed in blocks:
// lowpass(30) -> differentiate(3) -> resample(...,160,0,2) -> D*D + H*H ->
// normalizeSec(5, 2.5, 0) -> cmpeakdet(3, 0.3, 30). Memory stays bounded by the stages'
// windows; run under /usr/bin/time -v to see the peak resident size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "korvel/signal/functions.h"

namespace {

using namespace korvel::signal;

constexpr double kFs = 1000;
constexpr std::size_t kDaySamples = 24 * 3600 * 1000;
constexpr std::size_t kBlock = 10'000;  // 10 s per push, as a host would deliver records

// ECG-like test signal: a P-QRS-T template at a heart rate that drifts between about 55
// and 85 bpm with beat-to-beat jitter, on baseline wander with white noise. Fixed seed.
class SyntheticEcg {
 public:
  SyntheticEcg() {
    const auto wave = [](double t, double at, double width, double height) {
      return height * std::exp(-(t - at) * (t - at) / (2 * width * width));
    };
    for (std::size_t n = 0; n < template_.size(); ++n) {
      const double t = static_cast<double>(n) / kFs;
      template_[n] = static_cast<float>(wave(t, 0.10, 0.020, 0.15) + wave(t, 0.20, 0.008, -0.12) +
                                        wave(t, 0.22, 0.010, 1.2) + wave(t, 0.24, 0.008, -0.25) +
                                        wave(t, 0.45, 0.040, 0.3));
    }
  }

  void fill(std::vector<float>& block) {
    for (float& v : block) {
      if (since_beat_ >= rr_) start_beat();
      const float beat = since_beat_ < template_.size() ? template_[since_beat_] * amplitude_ : 0.0f;
      ++since_beat_;
      ++sample_;
      wander_.advance();
      v = beat + static_cast<float>(0.2 * wander_.sin) + 0.02f * noise();
    }
  }

  std::int64_t beats() const { return beats_; }

 private:
  // Uniform in [-1, 1) from a 32-bit xorshift.
  float uniform() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(state_) * (2.0f / 4294967296.0f) - 1.0f;
  }
  float noise() { return uniform() + uniform(); }

  void start_beat() {
    const double t = static_cast<double>(sample_) / kFs;
    const double rr = 0.86 + 0.15 * std::sin(2 * std::numbers::pi * t / 3600) + 0.03 * uniform();
    rr_ = static_cast<std::size_t>(rr * kFs);
    amplitude_ = 1.0f + 0.1f * uniform();
    since_beat_ = 0;
    ++beats_;
  }

  // A slow sinusoid by rotation, cheaper than std::sin per sample; renormalised each step
  // so its amplitude does not drift over a day.
  struct Phasor {
    double sin = 0;
    double cos = 1;
    double step_sin = std::sin(2 * std::numbers::pi * 0.15 / kFs);
    double step_cos = std::cos(2 * std::numbers::pi * 0.15 / kFs);
    void advance() {
      const double s = sin * step_cos + cos * step_sin;
      const double c = cos * step_cos - sin * step_sin;
      const double norm = 1.5 - 0.5 * (s * s + c * c);  // first-order 1 / |(s, c)|
      sin = s * norm;
      cos = c * norm;
    }
  };

  std::vector<float> template_ = std::vector<float>(600);
  Phasor wander_;
  std::uint32_t state_ = 2463534242u;
  std::size_t since_beat_ = 0;
  std::size_t rr_ = 0;
  std::size_t sample_ = 0;
  float amplitude_ = 1.0f;
  std::int64_t beats_ = 0;
};

Stage build(const char* name, std::vector<double> args) {
  return find_signal_function(name)->make(args, 1 / kFs);
}

// The chain as the host evaluates it: each stage consumes what the one before emitted.
// The derivative feeds both the Hilbert stage and the envelope, so the derivative's
// samples wait in a queue until the Hilbert output for them exists.
class DetectionChain {
 public:
  void push(const std::vector<float>& block) { run(&block); }
  void finish() { run(nullptr); }
  std::int64_t beats() const { return beats_; }

 private:
  void run(const std::vector<float>* block) {
    clear();
    if (block != nullptr) {
      lpf_.sampled->push(*block, low_);
    } else {
      lpf_.sampled->finish(low_);
    }
    dif_.sampled->push(low_, diff_);
    if (block == nullptr) dif_.sampled->finish(diff_);
    hlb_.sampled->push(diff_, hilb_);
    if (block == nullptr) hlb_.sampled->finish(hilb_);
    waiting_.insert(waiting_.end(), diff_.begin(), diff_.end());
    for (std::size_t i = 0; i < hilb_.size(); ++i) env_.push_back(waiting_[i] * waiting_[i] + hilb_[i] * hilb_[i]);
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(hilb_.size()));
    nrm_.sampled->push(env_, norm_);
    if (block == nullptr) nrm_.sampled->finish(norm_);
    det_.events->push(norm_, events_);
    if (block == nullptr) det_.events->finish(events_);
    beats_ += static_cast<std::int64_t>(events_.size());
  }

  void clear() {
    low_.clear();
    diff_.clear();
    hilb_.clear();
    env_.clear();
    norm_.clear();
    events_.clear();
  }

  Stage lpf_ = build("lowpass", {30});
  Stage dif_ = build("differentiate", {3});
  Stage hlb_ = build("resample", {1, 1, 1, 160, 0, 2});
  Stage nrm_ = build("normalizeSec", {5, 2.5, 0});
  Stage det_ = build("cmpeakdet", {3, 0.3, 30});
  std::vector<float> low_, diff_, hilb_, env_, norm_;
  std::vector<float> waiting_;  // derivative samples whose Hilbert output is still due
  std::vector<std::int64_t> events_;
  std::int64_t beats_ = 0;
};

void BM_DetectionChain24h(benchmark::State& state) {
  for (auto _ : state) {
    SyntheticEcg ecg;
    DetectionChain chain;
    std::vector<float> block(kBlock);
    for (std::size_t done = 0; done < kDaySamples; done += kBlock) {
      ecg.fill(block);
      chain.push(block);
    }
    chain.finish();
    state.counters["beats_generated"] = static_cast<double>(ecg.beats());
    state.counters["beats_detected"] = static_cast<double>(chain.beats());
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(kDaySamples) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DetectionChain24h)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The test signal alone, to subtract from the chain's figure.
void BM_SyntheticEcg24h(benchmark::State& state) {
  for (auto _ : state) {
    SyntheticEcg ecg;
    std::vector<float> block(kBlock);
    for (std::size_t done = 0; done < kDaySamples; done += kBlock) {
      ecg.fill(block);
      benchmark::DoNotOptimize(block.data());
    }
  }
}
BENCHMARK(BM_SyntheticEcg24h)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// Each stage alone over one hour of its typical input, in blocks.
void BM_Stage(benchmark::State& state, const char* name, std::vector<double> args, bool envelope_input) {
  constexpr std::size_t hour = 3600 * 1000;
  SyntheticEcg ecg;
  std::vector<float> input(kBlock);
  std::vector<float> output;
  std::vector<std::int64_t> events;
  for (auto _ : state) {
    Stage stage = build(name, args);
    for (std::size_t done = 0; done < hour; done += kBlock) {
      state.PauseTiming();
      ecg.fill(input);
      if (envelope_input) {
        for (float& v : input) v *= v;
      }
      output.clear();
      events.clear();
      state.ResumeTiming();
      if (stage.sampled) {
        stage.sampled->push(input, output);
      } else {
        stage.events->push(input, events);
      }
    }
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(hour) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_Stage, lowpass_30Hz, "lowpass", std::vector<double>{30}, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, lowpass_150Hz, "lowpass", std::vector<double>{150}, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, lowpass_20Hz_fft, "lowpass", std::vector<double>{20}, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, differentiate, "differentiate", std::vector<double>{3}, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, hilbert_160, "resample", std::vector<double>{1, 1, 1, 160, 0, 2}, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, normalize_5s, "normalizeSec", std::vector<double>{5, 2.5, 0}, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Stage, peak_detector, "cmpeakdet", std::vector<double>{0.5, 0.3, 30}, false)
    ->Unit(benchmark::kMillisecond);

}  // namespace
