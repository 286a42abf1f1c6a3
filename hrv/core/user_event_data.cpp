// SPDX-License-Identifier: MIT
#include "hrv/core/user_event_data.h"

#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

std::uint32_t UserEventData::type_id() {
  return make_type_id(HostContext::instance().module_id(GUID_HRVDocumentObj), kUserEventDataTypeNumber);
}

HRESULT UserEventData::GetTypeId(std::uint32_t* typeId) {
  return guard([&] {
    if (!typeId) return E_POINTER;
    *typeId = type_id();
    return S_OK;
  });
}

HRESULT UserEventData::Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             IChartDataChildData** copy) {
  return guard([&] {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    auto clone = make_com<UserEventData>();
    clone->sets_[0] = sets_[0];
    clone->sets_[1] = sets_[1];
    *copy = clone.detach();
    return S_OK;
  });
}

HRESULT UserEventData::Clear() {
  sets_[0].clear();
  sets_[1].clear();
  return S_OK;
}

HRESULT UserEventData::IsEmpty(VARIANT_BOOL* empty) {
  const bool none = sets_[0].empty() && sets_[1].empty();
  if (empty) *empty = to_variant_bool(none);
  return none ? S_OK : S_FALSE;
}

HRESULT UserEventData::Add(const TickPosition* position, std::int32_t set) {
  return guard([&] {
    if (!position) return E_FAIL;
    sets_[index(set)].insert(*position);
    return S_OK;
  });
}

HRESULT UserEventData::Remove(const TickPosition* position, std::int32_t set) {
  if (!position) return E_FAIL;
  sets_[index(set)].erase(*position);
  return S_OK;
}

HRESULT UserEventData::FindAtOrAfter(const TickPosition* position, std::int32_t set, TickPosition* found) {
  if (!position || !found) return E_FAIL;
  const PositionSet& positions = sets_[index(set)];
  auto it = positions.lower_bound(*position);
  if (it == positions.end()) {
    *found = TickPosition::unset();
    return S_FALSE;
  }
  *found = *it;
  return S_OK;
}

}  // namespace HRV
