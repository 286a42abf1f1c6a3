// SPDX-License-Identifier: MIT
#include "hrv/detect/expression_format.h"

#include <locale>

#include <gtest/gtest.h>

#include "sdk/cpp/utf.h"

namespace {

std::string narrow(const std::u16string& s) { return utf16_to_utf8(s); }

TEST(ExpressionFormat, WritesSixSignificantDigitsInTheShorterForm) {
  for (auto [value, text] : {std::pair{30.0, "30"}, {0.08, "0.08"}, {2.5, "2.5"}, {2147483647.0, "2.14748e+09"},
                             {1234567.0, "1.23457e+06"}, {999999.0, "999999"}, {0.0001, "0.0001"}, {0.00001, "1e-05"}})
    EXPECT_EQ(narrow(HRV::format_number(value)), text);
  EXPECT_EQ(narrow(HRV::format_integer(160)), "160");
}

// A locale that writes a decimal comma, as many users' machines do.
struct DecimalComma : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(ExpressionFormat, IgnoresTheProcessLocale) {
  std::locale previous = std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
  const std::string written = narrow(HRV::format_number(2.5));
  std::locale::global(previous);
  EXPECT_EQ(written, "2.5");
}

TEST(ExpressionFormat, FillsNumberedPlaceholdersIncludingTwoDigitOnes) {
  EXPECT_EQ(narrow(HRV::fill_placeholders(u"f(%1,%2)", {u"a", u"b"})), "f(a,b)");
  EXPECT_EQ(narrow(HRV::fill_placeholders(u"%1 * %2 + %3 * %4", {u"D", u"D", u"H", u"H"})), "D * D + H * H");
  EXPECT_EQ(narrow(HRV::fill_placeholders(u"%10|%1|%11", {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"ten", u"eleven"})),
            "ten|1|eleven");
  EXPECT_EQ(narrow(HRV::fill_placeholders(u"100%% %3", {u"x"})), "100% %3");
}

}  // namespace
