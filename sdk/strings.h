// SPDX-License-Identifier: MIT
// Counted UTF-16 strings. A BSTR points at the first character; the 32-bit byte length
// precedes it and a 0 terminator follows it. Both sides allocate and free through these
// functions only, so either side may free a string the other allocated.
// Threads: the functions below keep no shared state and may be called from any thread.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

using BSTR = char16_t*;

// Allocates a string of `length` characters copied from `text` (or left zeroed when
// `text` is null). Returns null when out of memory.
inline BSTR SysAllocStringLen(const char16_t* text, std::uint32_t length) noexcept {
  auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(std::uint32_t) + (std::size_t{length} + 1) * sizeof(char16_t)));
  if (!block) return nullptr;
  const std::uint32_t bytes = length * static_cast<std::uint32_t>(sizeof(char16_t));
  std::memcpy(block, &bytes, sizeof bytes);
  auto* chars = reinterpret_cast<char16_t*>(block + sizeof(std::uint32_t));
  if (text)
    std::memcpy(chars, text, std::size_t{length} * sizeof(char16_t));
  else
    std::memset(chars, 0, std::size_t{length} * sizeof(char16_t));
  chars[length] = 0;
  return chars;
}

// Allocates a copy of a 0-terminated string; null in gives null out.
inline BSTR SysAllocString(const char16_t* text) noexcept {
  if (!text) return nullptr;
  std::uint32_t n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

inline void SysFreeString(BSTR text) noexcept {
  if (text) std::free(reinterpret_cast<std::uint8_t*>(text) - sizeof(std::uint32_t));
}

// Number of characters; 0 for null.
inline std::uint32_t SysStringLen(BSTR text) noexcept {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const std::uint8_t*>(text) - sizeof(std::uint32_t), sizeof bytes);
  return bytes / sizeof(char16_t);
}
