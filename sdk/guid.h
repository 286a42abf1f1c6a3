// SPDX-License-Identifier: MIT
// GUIDs and their "{8-4-4-4-12}" text form.
// Threads: plain values and constexpr functions; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  friend constexpr bool operator==(const GUID& a, const GUID& b) noexcept {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
static_assert(sizeof(GUID) == 16);

namespace guid_detail {
constexpr int hex_digit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace guid_detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, either case).
constexpr std::optional<GUID> parse_guid(std::string_view text) noexcept {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  constexpr int dashes[] = {9, 14, 19, 24};
  for (int d : dashes)
    if (text[d] != '-') return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  int n = 0;
  for (std::size_t i = 1; i < 37; ++i) {
    if (text[i] == '-') continue;
    int hi = guid_detail::hex_digit(text[i]);
    int lo = guid_detail::hex_digit(text[i + 1]);
    if (hi < 0 || lo < 0 || text[i + 1] == '-') return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
    ++i;
  }
  if (n != 16) return std::nullopt;
  GUID g{};
  g.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
  return g;
}

// For identifiers written in the source: a malformed literal fails to compile.
consteval GUID make_guid(std::string_view text) {
  auto g = parse_guid(text);
  if (!g) throw "malformed GUID literal";
  return *g;
}

// Upper-case "{8-4-4-4-12}" form.
inline std::string to_string(const GUID& g) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out = "{";
  auto put = [&](std::uint64_t value, int nibbles) {
    for (int i = nibbles - 1; i >= 0; --i) out += digits[(value >> (4 * i)) & 0xF];
  };
  put(g.Data1, 8);
  out += '-';
  put(g.Data2, 4);
  out += '-';
  put(g.Data3, 4);
  out += '-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  out += '-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  out += '}';
  return out;
}
