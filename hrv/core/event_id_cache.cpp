// SPDX-License-Identifier: MIT
#include "hrv/core/event_id_cache.h"

#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

std::uint32_t EventIdCache::type_id() {
  return make_type_id(HostContext::instance().module_id(GUID_HRVDocumentObj), kEventIdCacheTypeNumber);
}

HRESULT EventIdCache::GetTypeId(std::uint32_t* typeId) {
  return guard([&] {
    if (!typeId) return E_POINTER;
    *typeId = type_id();
    return S_OK;
  });
}

HRESULT EventIdCache::Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                            IChartDataChildData** copy) {
  return guard([&] {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    auto clone = make_com<EventIdCache>();
    clone->last_numbers_ = last_numbers_;
    *copy = clone.detach();
    return S_OK;
  });
}

HRESULT EventIdCache::Clear() {
  last_numbers_.clear();
  return S_OK;
}

HRESULT EventIdCache::IsEmpty(VARIANT_BOOL* empty) {
  const bool none = last_numbers_.empty();
  if (empty) *empty = to_variant_bool(none);
  return none ? S_OK : S_FALSE;
}

HRESULT EventIdCache::SetLastBeatNumber(std::int32_t record, std::uint32_t number) {
  return guard([&] {
    last_numbers_[record] = number;
    return S_OK;
  });
}

HRESULT EventIdCache::GetLastBeatNumber(std::int32_t record, std::uint32_t* number) {
  auto it = last_numbers_.find(record);
  const bool held = it != last_numbers_.end();
  if (number) *number = held ? it->second : 0;
  return held ? S_OK : S_FALSE;
}

}  // namespace HRV
