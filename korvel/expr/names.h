// SPDX-License-Identifier: MIT
// Names in the expression language: function names compare without regard to ASCII case;
// recorded channels are written "Ch<n>" or "RCh<n>" (n from 1, either case).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::expr {

std::string ascii_lower(std::string_view text);
bool iequals(std::string_view a, std::string_view b) noexcept;

// An identifier: a letter or '_', then letters, digits and '_'.
bool is_identifier(std::string_view text) noexcept;

struct RecordedReference {
  bool raw = false;        // written "RCh<n>"
  std::int32_t index = 0;  // n − 1
};

// Reads "Ch<n>" / "RCh<n>" (n a decimal number from 1 without sign or leading zeros);
// nothing for any other text.
std::optional<RecordedReference> parse_recorded_reference(std::string_view text) noexcept;

}  // namespace korvel::expr
