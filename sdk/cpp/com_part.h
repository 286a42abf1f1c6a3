// SPDX-License-Identifier: MIT
// ComPart: one interface of an object, implemented by a member object. The part has no
// identity or reference count of its own: QueryInterface, AddRef and Release go to its
// owner, and the owner answers the part's interface from ComObject::query_extra. So an
// object can keep one COM identity while the work behind its interfaces lives in small
// classes of their own.
// Threads: as the interface it implements.
#pragma once

#include "sdk/unknown.h"

template <class Interface>
class ComPart : public Interface {
 public:
  explicit ComPart(IUnknown& owner) noexcept : owner_(owner) {}
  ComPart(const ComPart&) = delete;
  ComPart& operator=(const ComPart&) = delete;

  HRESULT QueryInterface(const GUID& iid, void** object) override { return owner_.QueryInterface(iid, object); }
  ULONG AddRef() override { return owner_.AddRef(); }
  ULONG Release() override { return owner_.Release(); }

  // The part as the interface pointer its owner hands out (no reference added).
  Interface* get() noexcept { return this; }

 protected:
  ~ComPart() = default;

 private:
  IUnknown& owner_;
};
