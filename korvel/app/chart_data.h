// SPDX-License-Identifier: MIT
// A document's chart data: the child objects that extensions attach, one per type id. The
// children hear about data that the document gained.
#pragma once

#include <cstdint>
#include <map>

#include "korvel/doc/document.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/chart.h"

namespace korvel::app {

class ChartData final : public ComObject<IChartData> {
 public:
  HRESULT GetChild(std::uint32_t typeId, IChartDataChildData** child) override;
  HRESULT AddChild(IChartDataChildData* child) override;
  HRESULT RemoveChild(std::uint32_t typeId) override;

  // Tells every child; a child's failure does not stop the others.
  void data_inserted(const doc::Growth& growth);
  // Releases every child.
  void clear() { children_.clear(); }

 private:
  std::map<std::uint32_t, ComPtr<IChartDataChildData>> children_;
};

}  // namespace korvel::app
