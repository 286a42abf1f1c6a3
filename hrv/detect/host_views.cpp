// SPDX-License-Identifier: MIT
#include "hrv/detect/host_views.h"

#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

std::int32_t SampledInputView::available_end() const {
  std::int32_t end = 0;
  VARIANT_BOOL complete = VARIANT_FALSE;
  return input_->GetAvailable(&end, &complete) == S_OK ? end : 0;
}

bool SampledInputView::complete() const {
  std::int32_t end = 0;
  VARIANT_BOOL complete = VARIANT_FALSE;
  return input_->GetAvailable(&end, &complete) == S_OK && complete != VARIANT_FALSE;
}

std::int32_t SampledInputView::read(std::int32_t from, std::int32_t count, float* out) const {
  std::int32_t got = 0;
  return SUCCEEDED(input_->ReadSamples(from, count, out, &got)) ? got : 0;
}

std::optional<std::int32_t> EventInputView::current() {
  std::int32_t tick = 0;
  if (input_->GetCurrent(&tick) != S_OK) return std::nullopt;
  return tick;
}

std::int32_t EventInputView::position() const {
  std::int32_t tick = 0;
  input_->GetPosition(&tick);
  return tick;
}

bool EventInputView::at_end() const {
  VARIANT_BOOL end = VARIANT_FALSE;
  return input_->IsAtEnd(&end) == S_OK && end != VARIANT_FALSE;
}

std::optional<SamplePosition> UserEditsView::find(SamplePosition p, UserEventSet set) const {
  const TickPosition from{p.tick, p.record};
  TickPosition found;
  if (edits_->FindAtOrAfter(&from, set, &found) != S_OK) return std::nullopt;
  return SamplePosition{found.tick, found.record};
}

std::optional<std::uint32_t> BeatNumberCacheView::last(std::int32_t record) const {
  std::uint32_t number = 0;
  if (cache_->GetLastBeatNumber(record, &number) != S_OK) return std::nullopt;
  return number;
}

DocumentChildren find_document_children(ICalcInputs* inputs) {
  DocumentChildren children;
  ComPtr<IChartData> chart;
  if (!inputs || inputs->GetChartData(chart.put()) != S_OK || !chart) return children;
  std::uint16_t module = 0;
  try {
    module = HostContext::instance().module_id(GUID_HRVDocumentObj);
  } catch (const HResultError&) {
    return children;  // not registered with a host: no document objects to find
  }
  ComPtr<IChartDataChildData> child;
  if (chart->GetChild(make_type_id(module, kUserEventDataTypeNumber), child.put()) == S_OK && child)
    children.edits = child.query<IUserEventData>();
  if (chart->GetChild(make_type_id(module, kEventIdCacheTypeNumber), child.put()) == S_OK && child)
    children.numbers = child.query<IEventIdCache>();
  return children;
}

}  // namespace HRV
