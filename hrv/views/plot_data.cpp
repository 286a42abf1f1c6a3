// SPDX-License-Identifier: MIT
#include "hrv/views/plot_data.h"

#include <algorithm>

#include "hrv/views/markup_text.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

// What a click on an element shows: a number's index and its value as plotted; a point's
// record and tick, which find its beat.
std::string label_of(std::size_t index, double value, double factor) {
  return std::to_string(index) + "\t" + markup_number(value * factor);
}
std::string label_of(std::size_t, const PlotPoint& p, double) {
  return std::to_string(p.record) + "\t" + std::to_string(p.tick);
}

}  // namespace

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::Next(ULONG count, float* values, ULONG* fetched) {
  if (!values && count > 0) return E_POINTER;
  const auto size = static_cast<std::int64_t>(data_->size());
  const std::int64_t from = std::clamp<std::int64_t>(position_, 0, size);
  const auto copied = static_cast<ULONG>(std::min<std::int64_t>(count, size - from));
  for (ULONG i = 0; i < copied; ++i)
    values[i] = static_cast<float>(Access::value((*data_)[static_cast<std::size_t>(from + i)]) * factor_);
  position_ = static_cast<std::int32_t>(from + copied);
  if (fetched) *fetched = copied;
  return copied == count ? S_OK : S_FALSE;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::Skip(std::int32_t count, std::int32_t* moved) {
  const auto target = std::clamp<std::int64_t>(std::int64_t{position_} + count, 0, static_cast<std::int64_t>(data_->size()));
  const auto distance = static_cast<std::int32_t>(target - position_);
  position_ = static_cast<std::int32_t>(target);
  if (moved) *moved = distance;
  return distance == count ? S_OK : S_FALSE;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::GetPosition(std::int32_t* position) {
  if (!position) return E_POINTER;
  *position = position_;
  return S_OK;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::Clone(IPlotData** copy) {
  if (!copy) return E_POINTER;
  *copy = nullptr;
  return guard([&] {
    *copy = make_com<WrapperEnum>(id_, data_, factor_, position_).detach();
    return S_OK;
  });
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::GetCount(ULONG* count) {
  if (!count) return E_FAIL;
  *count = static_cast<ULONG>(data_->size());
  return S_OK;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::GetRange(double* min, double* max) {
  if (!min || !max) return E_POINTER;
  if (data_->empty()) return S_FALSE;
  double lo = Access::value(data_->front());
  double hi = lo;
  for (const auto& element : *data_) {
    lo = std::min(lo, Access::value(element));
    hi = std::max(hi, Access::value(element));
  }
  *min = lo * factor_;
  *max = hi * factor_;
  return S_OK;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::GetId(BSTR* id) {
  if (!id) return E_POINTER;
  *id = SysAllocString(id_.c_str());
  return *id ? S_OK : E_OUTOFMEMORY;
}

template <class Container, class Access>
HRESULT WrapperEnum<Container, Access>::GetLabel(ULONG index, BSTR* label) {
  if (!label) return E_POINTER;
  *label = nullptr;
  if (index >= data_->size()) return S_FALSE;
  return guard([&] {
    *label = Bstr(label_of(index, (*data_)[index], factor_)).detach();
    return S_OK;
  });
}

template class WrapperEnum<std::vector<double>, AccessDirect>;
template class WrapperEnum<std::vector<PlotPoint>, AccessX>;
template class WrapperEnum<std::vector<PlotPoint>, AccessY>;

AxisRange data_range(IPlotData& data) {
  double lo = 0.0, hi = 0.0;
  if (data.GetRange(&lo, &hi) == S_OK) return {lo, hi};
  return {0.0, 0.0};
}

}  // namespace HRV
