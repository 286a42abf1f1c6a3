// SPDX-License-Identifier: MIT
#include "korvel/calc/input_views.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"

namespace korvel::calc {
namespace {

// An enumerator reads its sampled inputs near the events it is handed: the fiducial search
// reads at most one search window (10 s at the widest) before the last reference event it
// consumed. A stored input keeps this much before the last event consumed, and releases
// what lies further back.
constexpr double kReadBehindEventSec = 30.0;

// Samples of one record, from the document or from a store.
class SampledInput final : public ComObject<ISampledInput> {
 public:
  // `reader` (stores only) is the position the call's event inputs move.
  SampledInput(std::shared_ptr<const doc::Document> document, std::int32_t record, const InputBinding& binding,
               SampledStore::Reader reader)
      : document_(std::move(document)), record_(record), channel_(binding.recorded_channel), store_(binding.samples),
        reader_(std::move(reader)) {}

  HRESULT GetSampleInterval(double* seconds) override {
    if (!seconds) return E_POINTER;
    *seconds = document_->tick_interval(record_);
    return S_OK;
  }

  HRESULT GetAvailable(std::int32_t* end, VARIANT_BOOL* complete) override {
    if (!end || !complete) return E_POINTER;
    *end = static_cast<std::int32_t>(available());
    *complete = to_variant_bool(store_ ? store_->complete : document_->complete(record_));
    return S_OK;
  }

  HRESULT ReadSamples(std::int32_t from, std::int32_t count, float* samples, std::int32_t* got) override {
    if (!got || (count > 0 && !samples)) return E_POINTER;
    *got = 0;
    if (from < 0 || count < 0) return E_INVALIDARG;
    const std::size_t end = available();
    const std::size_t begin = std::min<std::size_t>(static_cast<std::size_t>(from), end);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), end - begin);
    if (store_) {
      if (!store_->read(begin, n, samples)) return E_FAIL;  // released; the evaluation reports it
    } else if (const HRESULT hr = guard([&] { return document_->read(record_, channel_, begin, n, samples), S_OK; }); FAILED(hr)) {
      return hr;  // the file could not be read
    }
    *got = static_cast<std::int32_t>(n);
    return S_OK;
  }

 private:
  std::size_t available() const {
    if (store_) return store_->end();
    return document_->has_data(record_, channel_) ? static_cast<std::size_t>(document_->record_length(record_)) : 0;
  }

  std::shared_ptr<const doc::Document> document_;
  std::int32_t record_;
  std::int32_t channel_;
  std::shared_ptr<const SampledStore> store_;
  SampledStore::Reader reader_;
};

// A cursor over a store of events. A Seek past the events stored so far is remembered, so
// that events stored later below the sought tick are skipped. Each event it passes lets
// the stored sampled inputs of the same call release what lies `behind` ticks before it.
class EventInput final : public ComObject<IEventInput> {
 public:
  EventInput(std::shared_ptr<const EventStore> store, std::vector<SampledStore::Reader> readers, std::int32_t behind)
      : store_(std::move(store)), readers_(std::move(readers)), behind_(behind) {}

  HRESULT Seek(std::int32_t tick) override {
    floor_ = tick;
    index_ = store_->lower_bound(tick);
    return S_OK;
  }

  HRESULT GetCurrent(std::int32_t* tick) override {
    if (!tick) return E_POINTER;
    if (!settle()) return S_FALSE;
    *tick = store_->tick(index_);
    return S_OK;
  }

  HRESULT GetCurrentEvent(void* event) override {
    if (!event) return E_POINTER;
    if (!settle()) return S_FALSE;
    std::memcpy(event, store_->record(index_), store_->event_size());
    return S_OK;
  }

  HRESULT GetEventSize(std::uint32_t* size) override {
    if (!size) return E_POINTER;
    *size = store_->event_size();
    return S_OK;
  }

  HRESULT Advance() override {
    if (!settle()) return S_FALSE;
    const std::int64_t keep_from = std::int64_t{store_->tick(index_)} - behind_;
    for (const auto& reader : readers_)
      if (reader && keep_from > 0) *reader = std::max(*reader, static_cast<std::size_t>(keep_from));
    ++index_;
    return S_OK;
  }

  HRESULT GetPosition(std::int32_t* tick) override {
    if (!tick) return E_POINTER;
    *tick = store_->final_until;
    return S_OK;
  }

  HRESULT IsAtEnd(VARIANT_BOOL* atEnd) override {
    if (!atEnd) return E_POINTER;
    *atEnd = to_variant_bool(!settle() && store_->complete);
    return S_OK;
  }

 private:
  // True when an event is current.
  bool settle() {
    while (index_ < store_->count() && store_->tick(index_) < floor_) ++index_;
    return index_ < store_->count();
  }

  std::shared_ptr<const EventStore> store_;
  std::vector<SampledStore::Reader> readers_;
  std::int32_t behind_;
  std::size_t index_ = 0;
  std::int32_t floor_ = INT32_MIN;
};

class CalcInputs final : public ComObject<ICalcInputs> {
 public:
  CalcInputs(std::shared_ptr<const doc::Document> document, std::int32_t record, std::vector<InputBinding> parameters,
             ComPtr<IChartData> chart)
      : document_(std::move(document)), record_(record), parameters_(std::move(parameters)), chart_(std::move(chart)) {
    for (const InputBinding& b : parameters_)
      readers_.push_back(b.samples ? b.samples->add_reader() : nullptr);
    behind_ = static_cast<std::int32_t>(std::min(std::ceil(kReadBehindEventSec / document_->tick_interval(record_)), double{INT32_MAX}));
  }

  HRESULT GetSampledInput(std::uint32_t index, ISampledInput** input) override {
    return guard([&] {
      if (!input) return E_POINTER;
      *input = nullptr;
      if (index >= parameters_.size()) return E_INVALIDARG;
      const InputBinding& b = parameters_[index];
      if (b.recorded_channel < 0 && !b.samples) return E_INVALIDARG;
      *input = make_com<SampledInput>(document_, record_, b, readers_[index]).detach();
      return S_OK;
    });
  }

  HRESULT GetEventInput(std::uint32_t index, IEventInput** input) override {
    return guard([&] {
      if (!input) return E_POINTER;
      *input = nullptr;
      if (index >= parameters_.size() || !parameters_[index].events) return E_INVALIDARG;
      *input = make_com<EventInput>(parameters_[index].events, readers_, behind_).detach();
      return S_OK;
    });
  }

  HRESULT GetChartData(IChartData** chartData) override {
    if (!chartData) return E_POINTER;
    *chartData = nullptr;
    if (!chart_) return E_NOTIMPL;
    return chart_.copy_to(chartData);
  }

 private:
  std::shared_ptr<const doc::Document> document_;
  std::int32_t record_;
  std::vector<InputBinding> parameters_;
  ComPtr<IChartData> chart_;
  std::vector<SampledStore::Reader> readers_;  // per parameter: its store's reader, if stored
  std::int32_t behind_ = 0;
};

}  // namespace

ComPtr<ICalcInputs> make_calc_inputs(std::shared_ptr<const doc::Document> document, std::int32_t record,
                                     std::vector<InputBinding> parameters, ComPtr<IChartData> chart) {
  return make_com<CalcInputs>(std::move(document), record, std::move(parameters), std::move(chart));
}

}  // namespace korvel::calc
