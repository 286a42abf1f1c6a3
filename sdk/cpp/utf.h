// SPDX-License-Identifier: MIT
// Conversions between UTF-8 (used inside each side) and the counted UTF-16 strings of the
// contract, and an owning BSTR holder.
// Threads: no shared state; any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "sdk/strings.h"

inline std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c >> 5) == 0x6) { cp = c & 0x1F; extra = 1; }
    else if ((c >> 4) == 0xE) { cp = c & 0x0F; extra = 2; }
    else if ((c >> 3) == 0x1E) { cp = c & 0x07; extra = 3; }
    else { out.push_back(u'\uFFFD'); ++i; continue; }
    int k = 1;
    for (; k <= extra; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) break;
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    if (k <= extra) {  // a broken sequence becomes one replacement character
      out.push_back(u'\uFFFD');
      i += k;
      continue;
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

inline std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp < 0xE000) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// Owns one BSTR.
class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::u16string_view text) : s_(SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()))) {}
  explicit Bstr(std::string_view utf8) : Bstr(std::u16string_view(utf8_to_utf16(utf8))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept { std::swap(s_, o.s_); return *this; }
  ~Bstr() { SysFreeString(s_); }

  // Takes over a string allocated by the other side.
  static Bstr adopt(BSTR s) noexcept { Bstr b; b.s_ = s; return b; }

  BSTR get() const noexcept { return s_; }
  BSTR* put() noexcept { SysFreeString(s_); s_ = nullptr; return &s_; }
  BSTR detach() noexcept { return std::exchange(s_, nullptr); }
  std::u16string_view view() const noexcept { return s_ ? std::u16string_view(s_, SysStringLen(s_)) : std::u16string_view(); }
  std::string utf8() const { return utf16_to_utf8(view()); }

 private:
  BSTR s_ = nullptr;
};
