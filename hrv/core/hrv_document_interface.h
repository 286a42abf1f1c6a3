// SPDX-License-Identifier: MIT
// HRV::IHRVDocument marks the extension's analysis document among a host document's
// objects.
#pragma once

#include "sdk/unknown.h"

namespace HRV {

// Implemented by HRV::Document only. It has no operations: the views, Tabulet functions
// and the export, which live in the same library, ask for it to find a host document's
// analysis and then work with the HRV::Document behind it (Document::from).
struct IHRVDocument : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{D6EA89AC-5B62-402C-A488-1E8CDDA95E3A}");

 protected:
  ~IHRVDocument() = default;
};

}  // namespace HRV
