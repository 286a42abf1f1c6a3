// SPDX-License-Identifier: MIT
#include "hrv/views/report_format.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace HRV {

namespace {

std::string general4(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(4);
  out << value;
  return out.str();
}

// SI prefixes from 10⁻²⁴ to 10²⁴ by steps of 10³; index 8 is no prefix.
constexpr std::string_view kPrefixes[] = {"y", "z", "a", "f", "p", "n", "\u00b5", "m", "",
                                          "k", "M", "G", "T", "P", "E", "Z", "Y"};
constexpr int kNoPrefix = 8;

}  // namespace

std::string Eng4(double value, std::string_view unit) {
  if (unit.empty()) return general4(value);
  std::string out;
  if (value == 0.0 || std::isnan(value)) {
    out = "0 ";
  } else if (std::isinf(value)) {
    out = general4(value) + " ";
  } else {
    int exponent = 3 * static_cast<int>(std::trunc(std::floor(std::log10(std::fabs(value))) / 3.0));
    double mantissa = value / std::pow(10.0, exponent);
    if (std::fabs(mantissa) < 1.0) {
      mantissa *= 1000.0;
      exponent -= 3;
    }
    const int index = kNoPrefix + exponent / 3;
    if (index < 0 || index >= static_cast<int>(std::size(kPrefixes))) {
      // Beyond the named prefixes: keep the value whole rather than invent a letter.
      out = general4(value) + " ";
    } else {
      // Rounding to 4 digits can carry the mantissa to 1000 ("999.97" → "1000"); the
      // prefix stays, as the value is still below the next power of 1000.
      out = general4(mantissa) + " ";
      out += kPrefixes[index];
    }
  }
  out += unit;
  return out;
}

std::string Sig4(double value, std::string_view unit) {
  std::string out = general4(value);
  if (!unit.empty()) out.append(" ").append(unit);
  return out;
}

std::string Sig4Micro(double value) { return general4(value * 1e6); }

}  // namespace HRV
