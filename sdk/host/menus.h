// SPDX-License-Identifier: MIT
// Menus and commands: the host's menu service, where an extension document adds its menu
// items; the command target through which the host executes a command and asks for its
// state; and the native popup menus that a document fills on request. Command ids are
// 32-bit: the module id the host assigned to the extension in the high 16 bits, the
// command's local number in the low 16 bits. All calls come on the host's user-interface
// thread.
#pragma once

#include <cstdint>

#include "sdk/strings.h"
#include "sdk/unknown.h"

// The extension's string table, read by the host for the texts of menu items. Implemented
// by the extension.
struct IExtensionStrings : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C32}");

  // The text with identifier `id` (out, caller frees). S_FALSE and null when the table has
  // no such text; E_POINTER for a null `text`.
  virtual HRESULT GetString(std::uint32_t id, BSTR* text) = 0;

 protected:
  ~IExtensionStrings() = default;
};

// One menu item as an extension describes it.
//
// `path` names the item by its menu levels separated by '|': "HRV|Settings" is the item
// "Settings" of the menu "HRV"; a path ending in '|' is a submenu ("HRV|AnalysisPlots|");
// "HRV|-" is a separator; "HRV^EXTENSION|" is the extension's entry in the host's menu of
// extensions. The item's texts are the string-table texts `textId`, `textId` + 1 and
// `textId` + 2 (the menu text with its access key, then two shorter forms for tool tips and
// status lines); 0 for none. An item with an `anchor` also appears next to that keyword's
// entry in the host's own menus ("settings", "analyse", "windows_graphsmenu", or an entry
// of another extension); `placement` and `flags` tell the host how, and are passed through
// unread by the extension.
struct MenuItem {
  std::uint32_t commandId;  // 0 for separators and entries without a command
  const char16_t* path;
  std::uint32_t textId;
  const char16_t* anchor;   // null: only in the extension's own menu
  std::int32_t placement;
  std::uint32_t flags;
};

// Implemented by the host. An item's command reaches the command target of the active
// document (ICommandTarget, found with QueryInterface on the extension's document).
struct IMenuService : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C33}");

  // Adds a top-level menu called `name` with the text `text` (both in). S_FALSE when the
  // menu exists already (a second document of the same extension adds it again).
  virtual HRESULT AddMenu(const char16_t* name, const char16_t* text) = 0;
  // Adds `item` (in); the host reads its texts from `strings` (in, kept). S_FALSE when an
  // item with that path exists already; E_INVALIDARG when the path names no menu added
  // before (its top level or submenu).
  virtual HRESULT AddMenuItem(const MenuItem* item, IExtensionStrings* strings) = 0;

 protected:
  ~IMenuService() = default;
};

// The state of one menu item, set by a command target while the host shows a menu.
// Implemented by the host; the object is valid only during the ICommandTarget::Update call.
struct ICommandUpdate : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C34}");

  virtual HRESULT SetEnabled(VARIANT_BOOL enabled) = 0;
  // The check mark shows when (value & mask) == 1.
  virtual HRESULT SetCheck(std::uint32_t value, std::uint32_t mask) = 0;
  // Replaces the item's text for this showing (in).
  virtual HRESULT SetText(const char16_t* text) = 0;

 protected:
  ~ICommandUpdate() = default;
};

// A native popup menu the host asks a document to fill. Implemented by the host.
struct INativeMenu : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C35}");

  virtual HRESULT RemoveAll() = 0;
  // Appends an entry whose choice reports `itemId` (text in).
  virtual HRESULT Append(std::uint32_t itemId, const char16_t* text) = 0;

 protected:
  ~INativeMenu() = default;
};

// Executes commands and reports their state. Implemented by the extension's document.
struct ICommandTarget : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{5E0B7C22-91A4-4C3E-8D17-6A2F4B9E0C36}");

  // S_OK when the command was handled (also when its operation decided to do nothing, e.g.
  // while the host samples), S_FALSE when the target has no such command.
  virtual HRESULT Execute(std::uint32_t commandId) = 0;
  // Sets the item's state through `update` (in). S_OK when the target has an update rule
  // for the command, S_FALSE when it has none (the host then shows the item enabled);
  // E_POINTER for a null `update`.
  virtual HRESULT Update(std::uint32_t commandId, ICommandUpdate* update) = 0;
  // Fills `menu` (in) for the submenu item `commandId`; S_FALSE when that item has no
  // native popup. E_POINTER for a null `menu`.
  virtual HRESULT BuildPopup(std::uint32_t commandId, INativeMenu* menu) = 0;
  // The user chose the entry `itemId` of the popup of `commandId`. E_FAIL for an item id
  // the popup does not hold; S_FALSE when the command has no native popup.
  virtual HRESULT DispatchPopup(std::uint32_t commandId, std::uint32_t itemId) = 0;

 protected:
  ~ICommandTarget() = default;
};
