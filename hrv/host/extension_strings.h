// SPDX-License-Identifier: MIT
// The extension's string table as the host reads it (menu item texts).
#pragma once

#include "sdk/cpp/com_object.h"
#include "sdk/host/menus.h"

namespace HRV {

class ExtensionStrings final : public ComObject<IExtensionStrings> {
 public:
  HRESULT GetString(std::uint32_t id, BSTR* text) override;
};

}  // namespace HRV
