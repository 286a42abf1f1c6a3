// SPDX-License-Identifier: MIT
// ComObject: the one implementation of reference counting and QueryInterface. A class lists
// the interfaces it implements; QueryInterface answers for each of them and for every
// interface they derive from (through `base_interface`). The first listed interface is the
// object's identity (its IUnknown).
// Threads: the reference count is atomic; everything else follows the interfaces it
// implements.
#pragma once

#include <atomic>
#include <tuple>
#include <type_traits>
#include <new>
#include <utility>

#include "sdk/cpp/com_ptr.h"
#include "sdk/unknown.h"

namespace com_detail {
// Walks an interface's inheritance chain; true when `iid` names the interface or a base.
template <class I>
constexpr bool in_chain(const GUID& iid) noexcept {
  if (iid == I::iid) return true;
  if constexpr (std::is_same_v<typename I::base_interface, void>)
    return false;
  else
    return in_chain<typename I::base_interface>(iid);
}
}  // namespace com_detail

template <class... Interfaces>
class ComObject : public Interfaces... {
  static_assert(sizeof...(Interfaces) > 0);
  using Primary = std::tuple_element_t<0, std::tuple<Interfaces...>>;

 public:
  // Reference count after a Release that destroyed the object; a Release arriving during
  // destruction sees it and does nothing.
  static constexpr ULONG kDestroyedCount = 0xC0000001u;

  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  HRESULT QueryInterface(const GUID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IUnknown::iid) {
      *object = static_cast<IUnknown*>(static_cast<Primary*>(this));
    } else {
      (void)((com_detail::in_chain<Interfaces>(iid) ? (*object = static_cast<Interfaces*>(this), true) : false) || ...);
      if (!*object) *object = query_extra(iid);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
      refs_.store(kDestroyedCount);
      delete this;
    }
    return left;
  }

  IUnknown* identity() noexcept { return static_cast<IUnknown*>(static_cast<Primary*>(this)); }

 protected:
  // For objects that answer more interfaces than they inherit; must return a pointer
  // without adding a reference (QueryInterface adds it), or null.
  virtual void* query_extra(const GUID&) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{1};  // the creator owns the first reference
};

// Creates a ComObject-derived object; the returned pointer owns the first reference.
template <class T, class... Args>
ComPtr<T> make_com(Args&&... args) {
  return ComPtr<T>::adopt(new T(std::forward<Args>(args)...));
}
