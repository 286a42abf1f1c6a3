// SPDX-License-Identifier: MIT
// The application's menus: top-level menus and the items that extension documents add to
// them by path, each with its three texts read from the extension's string table, and the
// items that also appear next to an anchor keyword in the host's own menus.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/menus.h"

namespace korvel::services {

struct MenuEntry {
  std::uint32_t command_id = 0;
  std::string path;
  std::uint32_t text_id = 0;
  // The menu text with its access key, then the two shorter forms; empty where the string
  // table has none.
  std::array<std::string, 3> texts;
  std::string anchor;
  std::int32_t placement = 0;
  std::uint32_t flags = 0;
  // Separators share their path: one is told from another by the item added before it.
  std::string after;

  bool separator() const noexcept { return path.size() >= 2 && path.compare(path.size() - 2, 2, "|-") == 0; }
  bool submenu() const noexcept { return !path.empty() && path.back() == '|'; }
};

class MenuService final : public ComObject<IMenuService> {
 public:
  struct Menu {
    std::string name;
    std::string text;
  };

  const std::vector<Menu>& menus() const noexcept { return menus_; }
  // In the order they were added.
  const std::vector<MenuEntry>& items() const noexcept { return items_; }
  // The item that carries `command_id`; null when none does.
  const MenuEntry* find(std::uint32_t command_id) const;
  // Items placed next to `anchor` in the host's menus, in the order they were added.
  std::vector<const MenuEntry*> anchored(const std::string& anchor) const;
  // The direct children of a menu ("HRV") or submenu ("HRV|AnalysisPlots|").
  std::vector<const MenuEntry*> children(const std::string& parent) const;

  // E_POINTER for null, E_INVALIDARG for an empty name or one with '|' or '^'.
  HRESULT AddMenu(const char16_t* name, const char16_t* text) override;
  HRESULT AddMenuItem(const MenuItem* item, IExtensionStrings* strings) override;

 private:
  bool has_menu(const std::string& name) const;
  bool has_path(const std::string& path) const;
  // Throws HResultError (E_INVALIDARG) when a level of `path` was not added before.
  void check_parents(const std::string& path) const;

  std::vector<Menu> menus_;
  std::vector<MenuEntry> items_;
  std::vector<ComPtr<IExtensionStrings>> strings_;  // kept for the items' texts
  std::string last_;  // what the last AddMenuItem added or found, as a separator's `after`
};

}  // namespace korvel::services
