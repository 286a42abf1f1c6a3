// SPDX-License-Identifier: MIT
// The detection chain's expressions, up to the peak detector, evaluated by the host's
// computed channels over a synthetic 24-hour ECG sampled at 1 kHz: wall time, and the
// process's peak resident memory, which must stay far below seven copies of the record
// (the source alone is 330 MiB of floats).
//
// A second case ends the chain with an enumerator that reads the low-pass stage at random,
// as the fiducial search does; the host then keeps that one stage, a second copy.
//
// Run: build-*/bench/host_chain_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <memory>
#include <vector>

#include "korvel/calc/computed_channels.h"
#include "sdk/cpp/com_object.h"

namespace {

constexpr double kRate = 1000.0;
constexpr double kSeconds = 24 * 3600.0;

double peak_rss_mib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// One beat's QRS and T wave, added at every beat, plus uniform noise from a fixed-seed
// linear congruential generator: cheap enough for 86.4 million samples.
std::shared_ptr<korvel::doc::Document> day_of_ecg() {
  const auto n = static_cast<std::size_t>(kSeconds * kRate);
  std::vector<float> beat(600);
  for (std::size_t i = 0; i < beat.size(); ++i) {
    const double t = static_cast<double>(i) - 50.0;
    beat[i] = static_cast<float>(std::exp(-0.5 * std::pow(t / 8.0, 2)) + 0.25 * std::exp(-0.5 * std::pow((t - 250.0) / 40.0, 2)));
  }
  korvel::io::Recording r;
  r.name = "day";
  korvel::io::Record record;
  record.tick_interval_s = 1.0 / kRate;
  record.channels.push_back({"ECG", "mV", std::vector<float>(n)});
  std::vector<float>& x = record.channels.back().samples;
  std::uint32_t state = 12345;
  auto uniform = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / static_cast<float>(1u << 24) - 0.5f;
  };
  for (std::size_t i = 0; i < n; ++i) x[i] = 0.04f * uniform();
  for (std::size_t start = 0; start + beat.size() < n; start += 700 + static_cast<std::size_t>(300 * (uniform() + 0.5f)))
    for (std::size_t i = 0; i < beat.size(); ++i) x[start + i] += beat[i];
  r.records.push_back(std::move(record));
  return std::make_shared<korvel::doc::Document>(std::move(r));
}

// "pick(Signal, Reference)": one 80-byte event per reference event, carrying the signal's
// value there; stands in for the fiducial search's access pattern.
class Pick final : public ComObject<ICalcEnumerator> {
 public:
  HRESULT BindInputs(ICalcInputs* inputs) override {
    signal_.reset();
    reference_.reset();
    inputs->GetSampledInput(0, signal_.put());
    inputs->GetEventInput(1, reference_.put());
    return signal_ && reference_ ? S_OK : E_INVALIDARG;
  }
  HRESULT StartRecord(std::int32_t, double, std::int32_t) override { return S_OK; }
  HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) override {
    std::int32_t end = 0, tick = 0;
    VARIANT_BOOL complete;
    signal_->GetAvailable(&end, &complete);
    auto* out = static_cast<std::byte*>(buffer);
    *count = 0;
    while (*count < maxEvents && reference_->GetCurrent(&tick) == S_OK && tick < end) {
      float value = 0;
      std::int32_t got = 0;
      signal_->ReadSamples(tick, 1, &value, &got);
      std::byte* event = out + std::size_t{*count} * 80;
      std::memset(event, 0, 80);
      std::memcpy(event, &tick, sizeof tick);
      std::memcpy(event + 8, &value, sizeof value);
      ++*count;
      reference_->Advance();
    }
    reference_->GetPosition(nextTick);
    *nextTick = std::min(*nextTick, end);
    return *count > 0 ? S_OK : S_FALSE;
  }
  HRESULT Find(VARIANT_BOOL, std::int32_t, std::int32_t, std::int32_t) override { return E_NOTIMPL; }
  HRESULT GetCurrentEvent(void*) override { return E_NOTIMPL; }
  HRESULT GetPosition(std::int32_t*) override { return E_NOTIMPL; }
  HRESULT GetEventSize(std::uint32_t* size) override {
    *size = 80;
    return S_OK;
  }
  HRESULT Clone(ICalcEnumerator**) override { return E_NOTIMPL; }

 private:
  ComPtr<ISampledInput> signal_;
  ComPtr<IEventInput> reference_;
};

const char16_t* const kPickNames[] = {u"Signal", u"Reference"};
const CalcParameterKind kPickKinds[] = {kCalcSampledInput, kCalcEventInput};
const CalcParameterRange kPickRanges[] = {{0, 0}, {0, 0}, kCalcRangeEnd};
const CalcEnumeratorDescription kPick{u"Pick", u"", u"pick", kPickNames, kPickKinds, 2, kPickRanges, u"Pick", 0x201, 80};

class PickClass final : public ComObject<ICalcEnumeratorClass> {
 public:
  HRESULT GetDescription(const CalcEnumeratorDescription** d) override {
    *d = &kPick;
    return S_OK;
  }
  HRESULT CreateEnumerator(const char16_t*, ICalcEnumerator** e) override {
    *e = make_com<Pick>().detach();
    return S_OK;
  }
};

class PickOnly final : public korvel::calc::EnumeratorClasses {
 public:
  ComPtr<ICalcEnumeratorClass> find_enumerator_class(std::string_view function) const override {
    return function == "pick" ? ComPtr<ICalcEnumeratorClass>::retain(class_.get()) : nullptr;
  }

 private:
  ComPtr<PickClass> class_ = make_com<PickClass>();
};

void BM_DetectionChainOverADay(benchmark::State& state) {
  static const std::shared_ptr<korvel::doc::Document> document = day_of_ecg();
  const double source_mib = peak_rss_mib();
  const bool with_enumerator = state.range(0) != 0;
  const PickOnly extensions;
  std::size_t peaks = 0;
  for (auto _ : state) {
    korvel::calc::FunctionTable functions(with_enumerator ? &extensions : nullptr);
    korvel::calc::ComputedChannels channels(document, functions, nullptr);
    const char* chain[][2] = {{"HRV_vLPF", "lowpass(Ch1,30)"},
                              {"HRV_vDIF", "differentiate(HRV_vLPF,3)"},
                              {"HRV_vHLB", "resample(HRV_vDIF,1,1,1,160,0,2)"},
                              {"HRV_vENV", "HRV_vDIF * HRV_vDIF + HRV_vHLB * HRV_vHLB"},
                              {"HRV_vNRM", "normalizeSec(HRV_vENV,5,2.5,0)"},
                              {"HRV_vDET", "cmpeakdet(HRV_vNRM,3,0.3,30)"}};
    std::int32_t det = 0;
    for (const auto& [name, expression] : chain) {
      det = channels.create(name);
      channels.set_expression(det, expression);
    }
    if (with_enumerator) {
      const std::int32_t fid = channels.create("HRV_vFID");
      channels.set_expression(fid, "pick(HRV_vLPF,HRV_vDET)");
      peaks = channels.events(fid, 0)->count();
    } else {
      peaks = channels.events(det, 0)->count();
    }
    benchmark::DoNotOptimize(peaks);
  }
  state.counters["peaks"] = static_cast<double>(peaks);
  state.counters["source_MiB"] = static_cast<double>(document->record_length(0)) * sizeof(float) / (1024.0 * 1024.0);
  state.counters["rss_before_MiB"] = source_mib;
  state.counters["peak_rss_MiB"] = peak_rss_mib();
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(document->record_length(0)) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// Argument 0: up to the peak detector; 1: with an enumerator reading the low-pass stage.
BENCHMARK(BM_DetectionChainOverADay)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
