// SPDX-License-Identifier: MIT
// The "HRV" menu: its items in the order they are added, with their paths, texts and the
// anchors that also place some of them in the host's own menus.
#pragma once

#include "sdk/host/menus.h"

namespace HRV {

// Adds the top-level menu "HRV" and every item of the tree to `menus`, with the
// extension's string table for their texts. Throws HResultError when the host gives no
// module id for the command ids.
void build_menu_tree(IMenuService& menus);

}  // namespace HRV
