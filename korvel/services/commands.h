// SPDX-License-Identifier: MIT
// Command dispatch: the host's menus reach the extension documents of the active document
// through ICommandTarget: the state of an item while a menu is shown, executing a command,
// and the native popups of submenu items.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sdk/hresult.h"

namespace korvel::services {

class Session;

struct CommandState {
  bool enabled = true;   // an item without an update rule is enabled
  bool checked = false;
  std::string text;      // the menu text, or what the update rule set
  bool has_rule = false; // a document answered the update query
};

// Asks the active document's extension documents in order until one has an update rule
// for `command_id`. Without an active document the item is disabled.
CommandState update_command(Session& session, std::uint32_t command_id);
// Executes `command_id` in the first extension document of the active document that
// handles it: its result, S_FALSE when none does, E_UNEXPECTED without an active document.
HRESULT execute_command(Session& session, std::uint32_t command_id);
// The entries (item id, text) of the native popup of submenu item `command_id`; empty
// when no document builds one.
std::vector<std::pair<std::uint32_t, std::string>> build_popup(Session& session, std::uint32_t command_id);
// The user chose `item_id` from that popup: the document's result, S_FALSE when none has
// the popup.
HRESULT choose_popup(Session& session, std::uint32_t command_id, std::uint32_t item_id);

}  // namespace korvel::services
