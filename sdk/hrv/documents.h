// SPDX-License-Identifier: MIT
// Marker interfaces of the extension's two per-document objects. They have no operations:
// a successful QueryInterface tells a caller which object it holds.
#pragma once

#include "sdk/unknown.h"

namespace HRV {

// Implemented by HRV::Document only. The views, Tabulet functions and the export, which
// live in the same library, ask for it to find a host document's analysis and then work
// with the HRV::Document behind it (Document::from). Called on the host's user-interface
// thread.
struct IHRVDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{D6EA89AC-5B62-402C-A488-1E8CDDA95E3A}");

 protected:
  ~IHRVDocument() = default;
};

// Implemented by HRV::Settings only: marks the analysis settings record among a document's
// persisted items. Any thread that holds the object may ask.
struct IHRVSettings : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3C5E8A71-0D42-4B96-A1F3-7E2B9C64D805}");

 protected:
  ~IHRVSettings() = default;
};

}  // namespace HRV
