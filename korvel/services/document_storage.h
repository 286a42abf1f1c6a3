// SPDX-License-Identifier: MIT
// The storage of one extension document's persisted items: objects handed over by index,
// whose streams the host saves with the document and loads back into them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/storage.h"

namespace korvel::services {

class DocumentStorage final : public ComObject<IDocumentStorage> {
 public:
  struct Item {
    ComPtr<IPersistStreamInit> object;
    bool loaded = false;  // the object held loaded state when it was handed over
  };

  const std::map<std::int32_t, Item>& items() const noexcept { return items_; }
  // Whether any item reports unsaved changes.
  bool dirty() const;
  // The item's stream as its object writes it now; `clear_dirty` is passed on. Throws
  // HResultError (E_INVALIDARG for an index never set, or the object's failure).
  std::vector<std::uint8_t> save(std::int32_t index, bool clear_dirty) const;
  // Releases every item.
  void clear() noexcept { items_.clear(); }

  // E_INVALIDARG for a negative index, E_POINTER for a null object. Replaces what the
  // index held.
  HRESULT SetPersistedItem(std::int32_t index, IPersistStreamInit* object, VARIANT_BOOL loaded) override;
  HRESULT GetPersistedItem(std::int32_t index, IPersistStreamInit** object) override;

 private:
  std::map<std::int32_t, Item> items_;
};

}  // namespace korvel::services
