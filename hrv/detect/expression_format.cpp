// SPDX-License-Identifier: MIT
#include "hrv/detect/expression_format.h"

#include <locale>
#include <sstream>
#include <vector>

namespace HRV {

namespace {
std::u16string widen_ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }
}  // namespace

std::u16string format_number(double value) {
  // A stream in the classic locale with its default precision gives exactly the %g form,
  // whatever locale the process runs in.
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return widen_ascii(out.str());
}

std::u16string format_integer(std::int64_t value) { return widen_ascii(std::to_string(value)); }

std::u16string fill_placeholders(std::u16string_view format, std::initializer_list<std::u16string_view> args) {
  const std::vector<std::u16string_view> list(args);
  std::u16string out;
  out.reserve(format.size() + 16 * list.size());
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    if (format[i + 1] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    std::size_t number = 0;
    while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') number = number * 10 + (format[j++] - u'0');
    if (j == i + 1 || number == 0 || number > list.size()) {
      out += c;
      continue;
    }
    out += list[number - 1];
    i = j - 1;
  }
  return out;
}

}  // namespace HRV
