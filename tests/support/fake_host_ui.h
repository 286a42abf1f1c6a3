// SPDX-License-Identifier: MIT
// Stand-ins for the host's menu service, command-state object and native popup menu, which
// record what an extension document asks of them. Contract headers only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/menus.h"

namespace fake_host {

class MenuService final : public ComObject<IMenuService> {
 public:
  struct Item {
    std::uint32_t commandId;
    std::string path;
    std::string text;  // read back through the extension's strings, as the host shows it
    std::string anchor;
    std::int32_t placement;
    std::uint32_t flags;
  };
  HRESULT AddMenu(const char16_t* name, const char16_t* text) override;
  HRESULT AddMenuItem(const MenuItem* item, IExtensionStrings* strings) override;

  std::vector<std::pair<std::string, std::string>> menus;  // (name, text)
  std::vector<Item> items;
  ComPtr<IExtensionStrings> strings;
};

class CommandUpdate final : public ComObject<ICommandUpdate> {
 public:
  HRESULT SetEnabled(VARIANT_BOOL value) override;
  HRESULT SetCheck(std::uint32_t value, std::uint32_t mask) override;
  HRESULT SetText(const char16_t* value) override;
  std::optional<bool> enabled;
  std::optional<bool> checked;
  std::optional<std::string> text;
};

class NativeMenu final : public ComObject<INativeMenu> {
 public:
  HRESULT RemoveAll() override;
  HRESULT Append(std::uint32_t itemId, const char16_t* text) override;
  std::vector<std::pair<std::uint32_t, std::string>> entries;
  int removals = 0;
};

}  // namespace fake_host
