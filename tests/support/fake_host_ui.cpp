// SPDX-License-Identifier: MIT
#include "fake_host_ui.h"

#include "sdk/cpp/utf.h"

namespace fake_host {

namespace {
std::string text_of(const char16_t* text) { return utf16_to_utf8(text ? text : u""); }
}  // namespace

HRESULT MenuService::AddMenu(const char16_t* name, const char16_t* text) {
  if (!name || !text) return E_POINTER;
  menus.emplace_back(text_of(name), text_of(text));
  return S_OK;
}

HRESULT MenuService::AddMenuItem(const MenuItem* item, IExtensionStrings* extensionStrings) {
  if (!item || !item->path || !extensionStrings) return E_POINTER;
  Bstr text;
  if (item->textId != 0) extensionStrings->GetString(item->textId, text.put());
  items.push_back({item->commandId, text_of(item->path), text.utf8(), text_of(item->anchor), item->placement, item->flags});
  strings = ComPtr<IExtensionStrings>::retain(extensionStrings);
  return S_OK;
}

HRESULT CommandUpdate::SetEnabled(VARIANT_BOOL value) {
  enabled = value != VARIANT_FALSE;
  return S_OK;
}
HRESULT CommandUpdate::SetCheck(std::uint32_t value, std::uint32_t mask) {
  checked = (value & mask) == 1;
  return S_OK;
}
HRESULT CommandUpdate::SetText(const char16_t* value) {
  text = text_of(value);
  return S_OK;
}

HRESULT NativeMenu::RemoveAll() {
  entries.clear();
  ++removals;
  return S_OK;
}
HRESULT NativeMenu::Append(std::uint32_t itemId, const char16_t* text) {
  entries.emplace_back(itemId, text_of(text));
  return S_OK;
}

}  // namespace fake_host
