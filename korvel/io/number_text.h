// SPDX-License-Identifier: MIT
// Whole-token number parsing in the classic locale: the token must be one number and
// nothing else, so "12x" or "" is not a number.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

namespace korvel::io {

template <typename Number>
std::optional<Number> parse_number(std::string_view token) {
  if (!token.empty() && token.front() == '+') {  // from_chars refuses a leading '+'
    token.remove_prefix(1);
    if (!token.empty() && token.front() == '-') return std::nullopt;
  }
  if (token.empty()) return std::nullopt;
  Number value{};
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (error != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return value;
}

}  // namespace korvel::io
