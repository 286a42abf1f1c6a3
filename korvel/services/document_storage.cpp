// SPDX-License-Identifier: MIT
#include "korvel/services/document_storage.h"

#include <string>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/memory_stream.h"

namespace korvel::services {

bool DocumentStorage::dirty() const {
  for (const auto& [index, item] : items_)
    if (item.object->IsDirty() == S_OK) return true;
  return false;
}

std::vector<std::uint8_t> DocumentStorage::save(std::int32_t index, bool clear_dirty) const {
  auto it = items_.find(index);
  if (it == items_.end()) throw_hresult(E_INVALIDARG, "no persisted item " + std::to_string(index));
  auto stream = make_com<MemoryStream>();
  if (HRESULT hr = it->second.object->Save(stream.get(), to_variant_bool(clear_dirty)); FAILED(hr))
    throw_hresult(hr, "persisted item " + std::to_string(index) + " could not be saved");
  return stream->bytes();
}

HRESULT DocumentStorage::SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) {
  if (!object) return E_POINTER;
  if (index < 0) return E_INVALIDARG;
  return guard([&] {
    items_[index] = {ComPtr<IPersistStreamInit>::retain(object), loaded != VARIANT_FALSE};
    return S_OK;
  });
}

HRESULT DocumentStorage::GetPersistedItem(std::int32_t index, IPersistStreamInit** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto it = items_.find(index);
  if (it == items_.end()) return S_FALSE;
  return it->second.object.copy_to(object);
}

}  // namespace korvel::services
