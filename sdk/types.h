// SPDX-License-Identifier: MIT
// Scalar types of the binary contract between the host and its extensions.
// Threads: plain types; any thread.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

// 16-bit booleans, as every interface passes them: all bits set is true.
using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = static_cast<VARIANT_BOOL>(0xFFFF);
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr VARIANT_BOOL to_variant_bool(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }
