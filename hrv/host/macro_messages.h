// SPDX-License-Identifier: MIT
// The five macro commands. The menu items of the last five commands do not act themselves:
// they send their macro message to the host, which records it when a macro is being
// recorded and delivers it back to the document, whose handler then runs the operation.
// Replaying a macro delivers the same message.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"

namespace HRV {

class Document;

// Local numbers of the macro message types (module id of GUID_HRVDocumentObj << 16 | number).
enum MacroNumber : std::uint16_t {
  MacroAnalyze = 0x100,
  MacroClearAnalysis = 0x101,
  MacroReselectAnalyzedRegion = 0x102,
  MacroToggleOnlineMode = 0x103,
  MacroToggleEventMarkers = 0x104,
};

// The message classes, in the order they are registered; created on first use and kept
// until the library is unloaded.
const std::vector<ComPtr<IMessageClass>>& macro_message_classes();

// Runs the document operation of `type` when it is one of the macro messages; false
// otherwise.
bool run_macro_message(Document& document, std::uint32_t type);

}  // namespace HRV
