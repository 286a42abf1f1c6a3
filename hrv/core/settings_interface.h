// SPDX-License-Identifier: MIT
// HRV::IHRVSettings marks the analysis settings record among a document's persisted items.
#pragma once

#include "sdk/unknown.h"

namespace HRV {

// Implemented by HRV::Settings only. It has no operations: a successful QueryInterface
// for it tells a caller that the object is the extension's settings record.
struct IHRVSettings : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{3C5E8A71-0D42-4B96-A1F3-7E2B9C64D805}");

 protected:
  ~IHRVSettings() = default;
};

}  // namespace HRV
