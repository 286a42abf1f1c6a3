// SPDX-License-Identifier: MIT
// The subset of VARIANT that crosses the contract: empty, 32-bit integer, double, string.
// Threads: the functions below keep no shared state and may be called from any thread.
#pragma once

#include <cstdint>

#include "sdk/hresult.h"
#include "sdk/strings.h"

enum VARTYPE : std::uint16_t { VT_EMPTY = 0, VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8 };

struct VARIANT {
  std::uint16_t vt;
  std::uint16_t reserved1, reserved2, reserved3;
  union {
    std::int32_t lVal;
    double dblVal;
    BSTR bstrVal;  // owned by the VARIANT
  };
};
static_assert(sizeof(VARIANT) == 16);

inline void VariantInit(VARIANT* v) noexcept {
  v->vt = VT_EMPTY;
  v->reserved1 = v->reserved2 = v->reserved3 = 0;
  v->dblVal = 0;
}

// Frees what the VARIANT owns and leaves it empty.
inline HRESULT VariantClear(VARIANT* v) noexcept {
  if (!v) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

// Deep copy into an initialised `dest` (whose contents are freed first).
inline HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept {
  if (!dest || !src) return E_POINTER;
  if (dest == src) return S_OK;
  VariantClear(dest);
  switch (src->vt) {
    case VT_EMPTY: return S_OK;
    case VT_I4: dest->vt = VT_I4; dest->lVal = src->lVal; return S_OK;
    case VT_R8: dest->vt = VT_R8; dest->dblVal = src->dblVal; return S_OK;
    case VT_BSTR:
      dest->bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
      if (src->bstrVal && !dest->bstrVal) return E_OUTOFMEMORY;
      dest->vt = VT_BSTR;
      return S_OK;
  }
  return E_INVALIDARG;
}
