// SPDX-License-Identifier: MIT
// IUnknown: reference counting and interface discovery. Every interface of the contract
// derives from it. Each interface declares its identifier as `iid` and its parent as
// `base_interface` so that the C++ helpers can answer QueryInterface for the whole chain.
// Threads: AddRef and Release may be called from any thread (the count is atomic);
// QueryInterface on the thread that holds the object, which in this contract is always
// the host's user-interface thread.
#pragma once

#include "sdk/guid.h"
#include "sdk/hresult.h"
#include "sdk/types.h"

struct IUnknown {
  using base_interface = void;
  static constexpr GUID iid = make_guid("{00000000-0000-0000-C000-000000000046}");

  // Implemented by every object. `object` (out) receives an AddRef'ed pointer or null.
  // E_POINTER for a null `object`, E_NOINTERFACE when the interface is not offered.
  virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed through Release only
};

// A class object: creates instances of one class on demand.
struct IClassFactory : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{00000001-0000-0000-C000-000000000046}");

  // Implemented by the party that registered the class. `outer` must be null (no aggregation).
  virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** object) = 0;
  virtual HRESULT LockServer(VARIANT_BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};
