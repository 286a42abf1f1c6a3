// SPDX-License-Identifier: MIT
// The series a plot view hands its plot control: an enumerator over a vector that belongs
// to the document's results, read by the plot engine in blocks. Every value is handed out
// multiplied by the view's display factor (s shown in ms: 1000), as float.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrv/engine/plot_point.h"
#include "hrv/views/plot_markup.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/plot_control.h"

namespace HRV {

// How an element of the container becomes the value plotted.
struct AccessDirect {
  static double value(double v) noexcept { return v; }
};
struct AccessX {
  static double value(const PlotPoint& p) noexcept { return p.x; }
};
struct AccessY {
  static double value(const PlotPoint& p) noexcept { return p.y; }
};

template <class Container, class Access>
class WrapperEnum final : public ComObject<IPlotData> {
 public:
  // `data` is not owned: it belongs to the document's results, which outlive the view and
  // so every enumerator the view registered. It may grow between reads.
  WrapperEnum(std::u16string id, const Container* data, double factor, std::int32_t position = 0)
      : id_(std::move(id)), data_(data), factor_(factor), position_(position) {}

  HRESULT Next(ULONG count, float* values, ULONG* fetched) override;
  HRESULT Skip(std::int32_t count, std::int32_t* moved) override;
  HRESULT GetPosition(std::int32_t* position) override;
  HRESULT Clone(IPlotData** copy) override;
  HRESULT GetCount(ULONG* count) override;  // E_FAIL for a null `count`
  HRESULT GetRange(double* min, double* max) override;
  HRESULT GetId(BSTR* id) override;
  HRESULT GetLabel(ULONG index, BSTR* label) override;

  std::size_t size() const noexcept { return data_->size(); }

 private:
  std::u16string id_;
  const Container* data_;
  double factor_;
  std::int32_t position_;
};

using SeriesData = WrapperEnum<std::vector<double>, AccessDirect>;
using PointXData = WrapperEnum<std::vector<PlotPoint>, AccessX>;
using PointYData = WrapperEnum<std::vector<PlotPoint>, AccessY>;

// The range a series reports, (0, 0) when it is empty or cannot say.
AxisRange data_range(IPlotData& data);

}  // namespace HRV
