// SPDX-License-Identifier: MIT
#include "korvel/services/menu_service.h"

#include <algorithm>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

constexpr std::string_view kExtensionEntry = "^EXTENSION|";

std::string text_of(IExtensionStrings& strings, std::uint32_t id) {
  Bstr text;
  if (strings.GetString(id, text.put()) != S_OK) return {};
  return text.utf8();
}

}  // namespace

const MenuEntry* MenuService::find(std::uint32_t command_id) const {
  if (command_id == 0) return nullptr;
  auto it = std::find_if(items_.begin(), items_.end(), [&](const MenuEntry& e) { return e.command_id == command_id; });
  return it == items_.end() ? nullptr : &*it;
}

std::vector<const MenuEntry*> MenuService::anchored(const std::string& anchor) const {
  std::vector<const MenuEntry*> out;
  if (anchor.empty()) return out;
  for (const MenuEntry& e : items_)
    if (e.anchor == anchor) out.push_back(&e);
  return out;
}

std::vector<const MenuEntry*> MenuService::children(const std::string& parent) const {
  const std::string prefix = parent.empty() || parent.back() == '|' ? parent : parent + "|";
  std::vector<const MenuEntry*> out;
  for (const MenuEntry& e : items_) {
    if (e.path.size() <= prefix.size() || e.path.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string rest = e.path.substr(prefix.size());
    const auto bar = rest.find('|');
    if (bar == std::string::npos || bar + 1 == rest.size()) out.push_back(&e);
  }
  return out;
}

bool MenuService::has_menu(const std::string& name) const {
  return std::any_of(menus_.begin(), menus_.end(), [&](const Menu& m) { return m.name == name; });
}

bool MenuService::has_path(const std::string& path) const {
  return std::any_of(items_.begin(), items_.end(), [&](const MenuEntry& e) { return e.path == path; });
}

void MenuService::check_parents(const std::string& path) const {
  if (const auto caret = path.find('^'); caret != std::string::npos) {
    if (path.compare(caret, std::string::npos, kExtensionEntry) != 0 || !has_menu(path.substr(0, caret)))
      throw_hresult(E_INVALIDARG, "'" + path + "' names no menu's extension entry");
    return;
  }
  const auto first = path.find('|');
  if (first == std::string::npos || first == 0) throw_hresult(E_INVALIDARG, "'" + path + "' is not a menu path");
  if (!has_menu(path.substr(0, first))) throw_hresult(E_INVALIDARG, "no menu '" + path.substr(0, first) + "' for '" + path + "'");
  // Every inner level must be a submenu added before: "HRV|Plots|" for "HRV|Plots|Tachogram".
  const std::size_t last = path.back() == '|' ? path.rfind('|', path.size() - 2) : path.rfind('|');
  for (auto bar = path.find('|', first + 1); bar != std::string::npos && bar <= last; bar = path.find('|', bar + 1))
    if (!has_path(path.substr(0, bar + 1))) throw_hresult(E_INVALIDARG, "no submenu '" + path.substr(0, bar + 1) + "' for '" + path + "'");
}

HRESULT MenuService::AddMenu(const char16_t* name, const char16_t* text) {
  if (!name || !text) return E_POINTER;
  return guard([&] {
    const std::string n = utf16_to_utf8(name);
    if (n.empty() || n.find_first_of("|^") != std::string::npos) return E_INVALIDARG;
    if (has_menu(n)) return S_FALSE;
    menus_.push_back({n, utf16_to_utf8(text)});
    return S_OK;
  });
}

HRESULT MenuService::AddMenuItem(const MenuItem* item, IExtensionStrings* strings) {
  if (!item || !item->path || !strings) return E_POINTER;
  return guard([&] {
    MenuEntry e;
    e.path = utf16_to_utf8(item->path);
    check_parents(e.path);
    // Every path but a separator's names one item. A second document of an extension adds
    // its items again; its separators are found again by the item they follow.
    if (e.separator()) {
      e.after = last_;
      last_ = e.path + "\n" + e.after;
      if (std::any_of(items_.begin(), items_.end(), [&](const MenuEntry& x) { return x.path == e.path && x.after == e.after; }))
        return S_FALSE;
    } else {
      last_ = e.path;
      if (has_path(e.path)) return S_FALSE;
    }
    e.command_id = item->commandId;
    e.text_id = item->textId;
    if (e.text_id != 0)
      for (std::uint32_t i = 0; i < 3; ++i) e.texts[i] = text_of(*strings, e.text_id + i);
    e.anchor = item->anchor ? utf16_to_utf8(item->anchor) : std::string();
    e.placement = item->placement;
    e.flags = item->flags;
    items_.push_back(std::move(e));
    if (std::none_of(strings_.begin(), strings_.end(), [&](const auto& s) { return s.get() == strings; }))
      strings_.push_back(ComPtr<IExtensionStrings>::retain(strings));
    return S_OK;
  });
}

}  // namespace korvel::services
