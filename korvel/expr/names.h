// SPDX-License-Identifier: MIT
// Names in the expression language: function names compare without regard to ASCII case;
// recorded channels are written "Ch<n>" or "RCh<n>" (n from 1, either case).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::expr {

// The characters of numbers and names, by ASCII alone (no locale).
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool is_name_start(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool is_name_char(char c) noexcept { return is_name_start(c) || is_digit(c); }

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
