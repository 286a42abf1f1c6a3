// SPDX-License-Identifier: MIT
// Handing values out through COM out parameters: E_POINTER for a null parameter, and for
// strings a new BSTR that the caller frees (E_OUTOFMEMORY when none could be made).
// Threads: no shared state; any thread.
#pragma once

#include <string_view>

#include "sdk/cpp/utf.h"
#include "sdk/hresult.h"

template <class T>
HRESULT copy_out(const T& value, T* out) noexcept {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

inline HRESULT copy_text(std::u16string_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

inline HRESULT copy_text(std::string_view utf8, BSTR* out) { return copy_text(std::u16string_view(utf8_to_utf16(utf8)), out); }
