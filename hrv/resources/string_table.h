// SPDX-License-Identifier: MIT
// The extension's string table: user-visible texts by numeric id (menu texts, species
// names, messages). Texts are UTF-8; convert with utf8_to_utf16 where an interface needs
// a counted UTF-16 string.
#pragma once

#include <cstdint>
#include <string_view>

namespace HRV {

// The text with identifier `id`, or an empty view when the table has no such id (no entry
// has empty text). The view refers to static storage.
std::string_view LoadString(std::uint32_t id) noexcept;

}  // namespace HRV
