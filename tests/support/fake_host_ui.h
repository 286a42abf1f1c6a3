// SPDX-License-Identifier: MIT
// Stand-ins for the host's menu service, command-state object and native popup menu, which
// record what an extension document asks of them. Contract headers only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/menus.h"

namespace fake_host {

class MenuService final : public ComObject<IMenuService> {
 public:
  struct Item {
    std::uint32_t commandId;
    std::string path;
    std::uint32_t textId;
    std::string text;  // read back through the extension's strings, as the host shows it
    std::string anchor;
    std::int32_t placement;
    std::uint32_t flags;
  };

  HRESULT AddMenu(const char16_t* name, const char16_t* text) override {
    if (!name || !text) return E_POINTER;
    menus.emplace_back(utf16_to_utf8(name), utf16_to_utf8(text));
    return S_OK;
  }
  HRESULT AddMenuItem(const MenuItem* item, IExtensionStrings* strings) override {
    if (!item || !item->path || !strings) return E_POINTER;
    Bstr text;
    if (item->textId != 0) strings->GetString(item->textId, text.put());
    items.push_back({item->commandId, utf16_to_utf8(item->path), item->textId, text.utf8(),
                     item->anchor ? utf16_to_utf8(item->anchor) : std::string(), item->placement, item->flags});
    this->strings = ComPtr<IExtensionStrings>::retain(strings);
    return S_OK;
  }

  std::vector<std::pair<std::string, std::string>> menus;  // (name, text)
  std::vector<Item> items;
  ComPtr<IExtensionStrings> strings;
};

class CommandUpdate final : public ComObject<ICommandUpdate> {
 public:
  HRESULT SetEnabled(VARIANT_BOOL value) override {
    enabled = value != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT SetCheck(std::uint32_t value, std::uint32_t mask) override {
    checked = (value & mask) == 1;
    return S_OK;
  }
  HRESULT SetText(const char16_t* value) override {
    text = utf16_to_utf8(value ? value : u"");
    return S_OK;
  }

  std::optional<bool> enabled;
  std::optional<bool> checked;
  std::optional<std::string> text;
};

class NativeMenu final : public ComObject<INativeMenu> {
 public:
  HRESULT RemoveAll() override {
    entries.clear();
    ++removals;
    return S_OK;
  }
  HRESULT Append(std::uint32_t itemId, const char16_t* text) override {
    entries.emplace_back(itemId, utf16_to_utf8(text ? text : u""));
    return S_OK;
  }

  std::vector<std::pair<std::uint32_t, std::string>> entries;
  int removals = 0;
};

}  // namespace fake_host
