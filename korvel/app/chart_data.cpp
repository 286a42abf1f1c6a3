// SPDX-License-Identifier: MIT
#include "korvel/app/chart_data.h"

#include "sdk/cpp/hresult_error.h"

namespace korvel::app {

HRESULT ChartData::GetChild(std::uint32_t typeId, IChartDataChildData** child) {
  if (!child) return E_POINTER;
  *child = nullptr;
  auto it = children_.find(typeId);
  if (it == children_.end()) return S_FALSE;
  return it->second.copy_to(child);
}

HRESULT ChartData::AddChild(IChartDataChildData* child) {
  return guard([&] {
    if (!child) return E_POINTER;
    std::uint32_t type = 0;
    check_hresult(child->GetTypeId(&type), "GetTypeId failed");
    children_[type] = ComPtr<IChartDataChildData>::retain(child);
    return S_OK;
  });
}

HRESULT ChartData::RemoveChild(std::uint32_t typeId) { return children_.erase(typeId) ? S_OK : S_FALSE; }

void ChartData::data_inserted(const doc::Growth& growth) {
  // A child may remove children while it is told; tell a snapshot.
  const auto children = children_;
  for (const auto& [type, child] : children) child->OnDataInserted(growth.record, growth.first_tick, growth.count);
}

}  // namespace korvel::app
