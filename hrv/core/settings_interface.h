// SPDX-License-Identifier: MIT
// HRV::IHRVSettings marks the analysis settings record among a document's persisted items,
// and GUID_HRVDocumentObj is the class identifier of the analysis document.
#pragma once

#include "sdk/unknown.h"

namespace HRV {

// Class identifier of the analysis document. The settings record and the beat-edit data
// report it from GetClassID too, and the host assigns the extension's module id under it.
inline constexpr GUID GUID_HRVDocumentObj = make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");

// Implemented by HRV::Settings only. It has no operations: a successful QueryInterface
// for it tells a caller that the object is the extension's settings record.
struct IHRVSettings : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3C5E8A71-0D42-4B96-A1F3-7E2B9C64D805}");

 protected:
  ~IHRVSettings() = default;
};

}  // namespace HRV
