// SPDX-License-Identifier: MIT
#include "hrv/host/extension_strings.h"

#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

HRESULT ExtensionStrings::GetString(std::uint32_t id, BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  return guard([&] {
    const std::string_view utf8 = LoadString(id);
    if (utf8.empty()) return S_FALSE;
    *text = Bstr(utf8).detach();
    return *text ? S_OK : E_OUTOFMEMORY;
  });
}

}  // namespace HRV
