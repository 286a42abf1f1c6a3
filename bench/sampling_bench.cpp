// SPDX-License-Identifier: MIT
// Sampling a recording in blocks while a sink reads the peak detector's events of the
// detection chain as they arrive: the cost per block size, for 2 minutes of a synthetic ECG
// at 500 Hz (60,000 ticks) per iteration. Items are ticks sampled.
#include <benchmark/benchmark.h>

#include "korvel/services/sampler.h"
#include "korvel/services/session.h"
#include "sdk/host/document_data.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace {

constexpr double kRate = 500.0;

const std::pair<const char*, const char*> kChain[] = {
    {"LPF", "lowpass(Ch1,30)"},
    {"DIF", "differentiate(LPF,3)"},
    {"HLB", "resample(DIF,1,1,1,80,0,2)"},
    {"ENV", "DIF * DIF + HLB * HLB"},
    {"NRM", "normalizeSec(ENV,5,2.5,0)"},
    {"DET", "cmpeakdet(NRM,3,0.3,30)"},
};

// Reads every event of DET that is available after each block.
class EventSink final : public ComObject<IOnlineDataSink> {
 public:
  EventSink(ComPtr<IDocumentData> data, ChannelId channel) : data_(std::move(data)), channel_(channel) {}
  std::size_t events = 0;

  HRESULT CanStartSampling(std::int32_t, VARIANT_BOOL* allowed) override {
    *allowed = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT SamplingStarting(std::int32_t) override { return S_OK; }
  HRESULT SamplingStateChanged(std::int32_t record, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, VARIANT_BOOL) override {
    reader_.reset();
    return data_->OpenEventReader(channel_, {0, record}, TickPosition::open_end(), reader_.put());
  }
  HRESULT OnlineData(std::int32_t) override { return read(); }
  HRESULT SamplingEnding(std::int32_t, std::int32_t) override { return read(); }
  HRESULT SamplingStopped(std::int32_t) override { return S_OK; }
  HRESULT OnSamplingEvent(std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnTriggerArmed() override { return E_NOTIMPL; }
  HRESULT OnTriggerDisarmed() override { return E_NOTIMPL; }
  HRESULT OnDisplayRefresh(std::int32_t) override { return S_OK; }
  HRESULT GetRefreshInterval(std::int32_t* ms) override {
    *ms = 200;
    return S_OK;
  }
  HRESULT GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) override {
    *request = 0;
    return S_OK;
  }

 private:
  HRESULT read() {
    std::byte buffer[8 * 64];
    for (ULONG got = 0; reader_->Read(buffer, 64, nullptr, &got) == S_OK;) events += got;
    return S_OK;
  }
  ComPtr<IDocumentData> data_;
  ChannelId channel_;
  ComPtr<IEventReader> reader_;
};

void BM_SampleWithDetectionChain(benchmark::State& state) {
  const auto recording = korvel::test::synthetic_recording(korvel::test::synthetic_ecg(120.0, kRate, 3), kRate);
  auto application = make_com<korvel::app::Application>();
  std::size_t events = 0;
  for (auto _ : state) {
    state.PauseTiming();
    korvel::services::Session session(application);
    auto& frame = session.open(korvel::services::sampling_document(recording));
    auto& computed = frame.data().channels();
    for (const auto& [name, expression] : kChain) computed.set_expression(computed.create(name), expression);
    ChannelId det;
    frame.data().FindChannel(u"DET", &det);
    auto sink = make_com<EventSink>(ComPtr<IDocumentData>::retain(frame.data_object().get()), det);
    frame.sampling_manager()->AddSink(sink.get());
    state.ResumeTiming();
    korvel::services::sample_record(frame, recording.records[0], {static_cast<std::int32_t>(state.range(0)), {}});
    events = sink->events;
  }
  state.counters["events"] = static_cast<double>(events);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.records[0].length()));
}
BENCHMARK(BM_SampleWithDetectionChain)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
