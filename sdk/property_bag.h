// SPDX-License-Identifier: MIT
// Named properties: a way for a host to read and write an object's settings by name, as
// values a person or a script can give (a settings file, command-line options), next to
// the object's binary stream.
// Threads: every operation is called on the host's user-interface thread.
#pragma once

#include "sdk/stream.h"
#include "sdk/variant.h"

// A set of named values. Implemented by the host.
struct IPropertyBag : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{55272A00-42CB-11CE-8135-00AA004BB851}");

  // The value of `name` into `value` (out; the caller initialised it and clears it).
  // S_FALSE and an empty value when the bag has no such property.
  virtual HRESULT Read(const char16_t* name, VARIANT* value) = 0;
  // Stores `value` (in) under `name`, replacing what was there.
  virtual HRESULT Write(const char16_t* name, const VARIANT* value) = 0;

 protected:
  ~IPropertyBag() = default;
};

// Where an object reports what it refused while loading from a bag. Implemented by the host.
struct IErrorLog : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3127CA40-446E-11CE-8135-00AA004BB851}");

  // `property` names the refused property; `description` says why, for a person to read.
  virtual HRESULT AddError(const char16_t* property, const char16_t* description) = 0;

 protected:
  ~IErrorLog() = default;
};

// An object that loads and saves its settings as named properties. Implemented by the
// extension's persisted objects.
struct IPersistPropertyBag : IPersist {
  using base_interface = IPersist;
  static constexpr GUID iid = make_guid("{37D84F60-42CB-11CE-8135-00AA004BB851}");

  virtual HRESULT InitNew() = 0;
  // Takes the properties the bag holds; the others keep their values. When any value is
  // refused (wrong type, out of range, unknown name) nothing changes, each refusal goes to
  // `log` (may be null) and the result is E_INVALIDARG.
  virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
  // Writes every property into `bag`; `clearDirty` as for streams.
  virtual HRESULT Save(IPropertyBag* bag, VARIANT_BOOL clearDirty) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};
