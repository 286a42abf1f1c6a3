// SPDX-License-Identifier: MIT
// Writing numbers and filling placeholders in the host expressions the detector defines.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace HRV {

// A number as the host's expression language reads it: classic locale, 6 significant
// digits, the shortest of fixed and exponent form (30, 0.08, 2.14748e+09).
std::u16string format_number(double value);
// An integer written as an integer (the tap counts of the derivative and Hilbert stages).
std::u16string format_integer(std::int64_t value);

// Replaces %1, %2, ... (several digits allowed: %10 is the tenth) by the arguments in
// order; "%%" is a literal percent sign. A placeholder without argument stays as it is.
std::u16string fill_placeholders(std::u16string_view format, std::initializer_list<std::u16string_view> args);

}  // namespace HRV
