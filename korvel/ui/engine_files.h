// SPDX-License-Identifier: MIT
// The files of the plot engine's page (web/engine), compiled in: its modules, its style
// sheet and local.html.
#pragma once

#include <span>
#include <string_view>

namespace korvel::ui {

struct EngineFile {
  std::string_view name;  // "etch_local.js", "etch.css", ...
  std::string_view text;
};

// In name order.
std::span<const EngineFile> engine_files() noexcept;

}  // namespace korvel::ui
