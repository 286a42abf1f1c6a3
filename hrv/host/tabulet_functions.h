// SPDX-License-Identifier: MIT
// The 27 Tabulet functions, one per HRV value, in the order of the host's function list.
#pragma once

#include <span>
#include <vector>

#include "hrv/host/tabulet_function.h"
#include "sdk/cpp/com_ptr.h"

namespace HRV {

// The functions in list position order (index = position).
std::span<const TabuletFunctionInfo> tabulet_functions() noexcept;

// One class object per function, in list position order; created on first use and kept
// until the library is unloaded.
const std::vector<ComPtr<IUnknown>>& tabulet_function_classes();

}  // namespace HRV
