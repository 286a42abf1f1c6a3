// SPDX-License-Identifier: MIT
// How the report writes its numbers: 4 significant digits in the classic locale, in
// engineering notation with an SI prefix (Eng4), plainly (Sig4), or scaled to millionths
// (Sig4Micro, the powers in ms² from s²). Texts are UTF-8 ("µ" is two bytes).
#pragma once

#include <string>
#include <string_view>

namespace HRV {

// Engineering notation: the exponent e = 3 × trunc(floor(log10 |v|) / 3), and a mantissa
// below 1 after that is multiplied by 1000 with e lowered by 3, so that it lies in
// [1, 1000); then a blank, the prefix of e and the unit ("812.3 ms", "123 µs"). 0 and NaN
// are written as a mantissa of 0 without prefix ("0 s"); infinities as "inf s". With an
// empty unit no prefix is chosen and the plain value is written.
std::string Eng4(double value, std::string_view unit);

// The value with 4 significant digits; a blank and the unit follow when there is one.
std::string Sig4(double value, std::string_view unit = {});

// The value × 1 000 000 with 4 significant digits and no unit: s² shown in ms².
std::string Sig4Micro(double value);

}  // namespace HRV
