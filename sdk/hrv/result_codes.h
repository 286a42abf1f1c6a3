// SPDX-License-Identifier: MIT
// The HRV extension's own result codes, which the host and tools may see from its
// interfaces (a stream refused on load, an export that failed, a command without an
// analysis). The values are fixed and never depend on the platform.
// Threads: plain values; any thread.
#pragma once

#include "sdk/hresult.h"

inline constexpr HRESULT HRV_E_WRONG_TAG = make_hresult(0xA0048204);           // stream block with an unexpected tag
inline constexpr HRESULT HRV_E_NEWER_VERSION = make_hresult(0xA0048205);       // stream written by a newer version
inline constexpr HRESULT HRV_E_WRONG_BLOCK_VERSION = make_hresult(0xA0048206); // stream block of an unknown version
inline constexpr HRESULT HRV_E_EXPORT_FAILED = make_hresult(0xA004820F);       // RR export could not be written
inline constexpr HRESULT HRV_E_NO_ANALYSIS = make_hresult(0xA0048210);         // an operation needs an analysis
