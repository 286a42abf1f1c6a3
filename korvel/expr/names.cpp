// SPDX-License-Identifier: MIT
#include "korvel/expr/names.h"

#include <limits>

namespace korvel::expr {
namespace {

constexpr char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lower(c);
  return out;
}

bool iequals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool is_identifier(std::string_view text) noexcept {
  if (text.empty() || !is_name_start(text.front())) return false;
  for (char c : text)
    if (!is_name_char(c)) return false;
  return true;
}

std::optional<RecordedReference> parse_recorded_reference(std::string_view text) noexcept {
  RecordedReference ref;
  if (text.size() > 3 && iequals(text.substr(0, 3), "rch")) {
    ref.raw = true;
    text.remove_prefix(3);
  } else if (text.size() > 2 && iequals(text.substr(0, 2), "ch")) {
    text.remove_prefix(2);
  } else {
    return std::nullopt;
  }
  if (text.front() == '0') return std::nullopt;
  std::int64_t n = 0;
  for (char c : text) {
    if (!is_digit(c)) return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  }
  ref.index = static_cast<std::int32_t>(n - 1);
  return ref;
}

}  // namespace korvel::expr
