// SPDX-License-Identifier: MIT
// "probethreshold": a small, real calculation enumerator that also checks, as it goes, that
// the host keeps the contract (inputs of the right kind, the sample interval it announces,
// inputs that never shrink and never grow once complete).
#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "tests/probe/probe_module.h"

namespace probe {
namespace {

constexpr std::int32_t kChunk = 1 << 16;

class ThresholdEnumerator final : public ComObject<ICalcEnumerator> {
 public:
  explicit ThresholdEnumerator(double level) : level_(level) {}

  HRESULT BindInputs(ICalcInputs* inputs) override {
    if (!inputs) return E_POINTER;
    ComPtr<ISampledInput> signal;
    if (FAILED(inputs->GetSampledInput(0, signal.put())) || !signal) return E_INVALIDARG;
    // The level is a number: the host must refuse it as a channel of either kind.
    ComPtr<ISampledInput> not_sampled;
    ComPtr<IEventInput> not_events;
    if (inputs->GetSampledInput(1, not_sampled.put()) != E_INVALIDARG || inputs->GetEventInput(0, not_events.put()) != E_INVALIDARG)
      return E_UNEXPECTED;
    chart_.reset();
    inputs->GetChartData(chart_.put());
    signal_ = signal;
    return S_OK;
  }

  HRESULT StartRecord(std::int32_t record, double sampleInterval, std::int32_t mode) override {
    if (!signal_) return E_UNEXPECTED;
    double dt = 0.0;
    if (FAILED(signal_->GetSampleInterval(&dt)) || dt != sampleInterval) return E_INVALIDARG;
    if (mode != kCalcRecordComplete && mode != kCalcRecordGrowing) return E_INVALIDARG;
    record_ = record;
    next_ = 1;
    count_ = 0;
    seen_end_ = 0;
    seen_complete_ = false;
    current_.reset();
    position_ = 0;
    return S_OK;
  }

  HRESULT ReadEvents(void* buffer, std::uint32_t maxEvents, std::uint32_t* count, std::int32_t* nextTick) override {
    if (!count || !nextTick || (maxEvents > 0 && !buffer)) return E_POINTER;
    *count = 0;
    std::int32_t end = 0;
    if (HRESULT hr = available(end); FAILED(hr)) return hr;
    auto* out = static_cast<ThresholdEvent*>(buffer);
    while (*count < maxEvents && next_ < end) {
      const std::int32_t base = next_ - 1;
      const std::int32_t stop = std::min(end, next_ + kChunk);
      read(base, stop, samples_);
      if (static_cast<std::int32_t>(samples_.size()) != stop - base) return E_UNEXPECTED;  // fewer than it made available
      for (std::int32_t t = next_; t < stop && *count < maxEvents; ++t) {
        next_ = t + 1;
        const float before = samples_[static_cast<std::size_t>(t - 1 - base)];
        const float at = samples_[static_cast<std::size_t>(t - base)];
        if (!(before < level_ && at >= level_) || masked(t)) continue;
        current_ = ThresholdEvent{t, 0.0f, at, record_, ++count_};
        std::memcpy(out + *count, &*current_, sizeof(ThresholdEvent));
        ++*count;
      }
    }
    *nextTick = next_;
    position_ = next_;
    return *count > 0 ? S_OK : S_FALSE;
  }

  HRESULT Find(VARIANT_BOOL backwards, std::int32_t from, std::int32_t low, std::int32_t high) override {
    const bool back = backwards != VARIANT_FALSE;
    current_.reset();
    if (high == 0 || high == low || (back && from == 0)) {
      position_ = high;
      return S_FALSE;
    }
    std::int32_t end = 0;
    if (HRESULT hr = available(end); FAILED(hr)) return hr;
    read(0, end, samples_);
    std::uint32_t number = 0;
    std::optional<ThresholdEvent> found;
    for (std::int32_t t = 1; t < end; ++t) {
      const auto i = static_cast<std::size_t>(t);
      if (!(samples_[i - 1] < level_ && samples_[i] >= level_) || masked(t)) continue;
      ++number;
      if (t < low || t >= high) continue;
      if (back && t <= from) found = ThresholdEvent{t, 0.0f, samples_[i], record_, number};
      if (!back && t >= from) {
        found = ThresholdEvent{t, 0.0f, samples_[i], record_, number};
        break;
      }
    }
    if (!found) {
      position_ = back ? low : std::min(high, end);
      return S_FALSE;
    }
    current_ = found;
    position_ = found->tick;
    return S_OK;
  }

  HRESULT GetCurrentEvent(void* event) override {
    if (!event) return E_POINTER;
    if (!current_) return S_FALSE;
    std::memcpy(event, &*current_, sizeof(ThresholdEvent));
    return S_OK;
  }

  HRESULT GetPosition(std::int32_t* tick) override {
    if (!tick) return E_POINTER;
    *tick = current_ ? current_->tick : position_;
    return S_OK;
  }

  HRESULT GetEventSize(std::uint32_t* size) override {
    if (!size) return E_POINTER;
    *size = sizeof(ThresholdEvent);
    return S_OK;
  }

  HRESULT Clone(ICalcEnumerator** copy) override {
    return guard([&] {
      if (!copy) return E_POINTER;
      auto c = make_com<ThresholdEnumerator>(level_);
      c->signal_ = signal_;
      c->chart_ = chart_;
      c->record_ = record_;
      c->next_ = next_;
      c->count_ = count_;
      c->seen_end_ = seen_end_;
      c->seen_complete_ = seen_complete_;
      c->current_ = current_;
      c->position_ = position_;
      *copy = c.detach();
      return S_OK;
    });
  }

 private:
  // The available end of the signal; E_UNEXPECTED when the host lets it shrink, or grow
  // after it said the record was complete.
  HRESULT available(std::int32_t& end) {
    if (!signal_) return E_UNEXPECTED;
    VARIANT_BOOL complete = VARIANT_FALSE;
    if (HRESULT hr = signal_->GetAvailable(&end, &complete); FAILED(hr)) return hr;
    if (end < seen_end_ || (seen_complete_ && end != seen_end_)) return E_UNEXPECTED;
    seen_end_ = end;
    seen_complete_ = complete != VARIANT_FALSE;
    return S_OK;
  }

  // Samples [from, to) into `out`.
  void read(std::int32_t from, std::int32_t to, std::vector<float>& out) {
    out.resize(static_cast<std::size_t>(std::max(0, to - from)));
    std::int32_t got = 0;
    if (!out.empty()) signal_->ReadSamples(from, to - from, out.data(), &got);
    out.resize(static_cast<std::size_t>(got));
  }

  bool masked(std::int32_t tick) {
    if (!chart_) return false;
    ComPtr<IChartDataChildData> child;
    if (chart_->GetChild(mask_type_id(), child.put()) != S_OK) return false;
    auto mask = child.query<IProbeMask>();
    return mask && mask->Contains(tick);
  }

  double level_;
  ComPtr<ISampledInput> signal_;
  ComPtr<IChartData> chart_;
  std::int32_t record_ = -1;
  std::int32_t next_ = 1;
  std::uint32_t count_ = 0;
  std::int32_t seen_end_ = 0;
  bool seen_complete_ = false;
  std::optional<ThresholdEvent> current_;
  std::int32_t position_ = 0;
  std::vector<float> samples_;
};

const char16_t* const kNames[] = {u"Signal", u"Level"};
const CalcParameterKind kKinds[] = {kCalcSampledInput, kCalcNumber};
const CalcParameterRange kRanges[] = {{0.0, 0.0}, {-1.0e6, 1.0e6}, kCalcRangeEnd};
const CalcEnumeratorDescription kDescription{
    u"ProbeThresholdEnum", u"Upward crossings of a level.", u"ProbeThreshold", kNames, kKinds, 2, kRanges, u"Crossings",
    0x201, sizeof(ThresholdEvent)};

class ThresholdClass final : public ComObject<ICalcEnumeratorClass, IClassObjectInfo> {
 public:
  HRESULT GetDescription(const CalcEnumeratorDescription** description) override {
    if (!description) return E_POINTER;
    *description = &kDescription;
    return S_OK;
  }

  HRESULT CreateEnumerator(const char16_t* parameters, ICalcEnumerator** enumerator) override {
    return guard([&] {
      if (!parameters || !enumerator) return E_POINTER;
      *enumerator = nullptr;
      const std::string text = utf16_to_utf8(parameters);
      double level = 0.0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), level);
      if (ec != std::errc() || end != text.data() + text.size()) return E_INVALIDARG;
      *enumerator = make_com<ThresholdEnumerator>(level).detach();
      return S_OK;
    });
  }

  HRESULT GetDisplayName(BSTR* name) override { return text(u"ProbeThresholdEnum", name); }
  HRESULT GetInternalName(BSTR* name) override { return text(u"ProbeThreshold", name); }
  HRESULT GetClassId(GUID* classId) override { return value(kThresholdClassId, classId); }
  HRESULT GetCategory(GUID* category) override { return value(kProbeCategory, category); }
  HRESULT GetTypeId(std::uint32_t* typeId) override { return value(std::uint32_t{0}, typeId); }
  HRESULT GetFlags(std::uint32_t* flags) override { return value(kDescription.flags, flags); }

 private:
  static HRESULT text(const char16_t* s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocString(s);
    return S_OK;
  }
  template <class T>
  static HRESULT value(T v, T* out) {
    if (!out) return E_POINTER;
    *out = v;
    return S_OK;
  }
};

}  // namespace

ComPtr<IUnknown> make_threshold_class() { return ComPtr<IUnknown>::adopt(make_com<ThresholdClass>().detach()->identity()); }

}  // namespace probe
