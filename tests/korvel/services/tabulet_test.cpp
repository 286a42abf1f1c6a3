// SPDX-License-Identifier: MIT
// How the Tabulet shows numbers. Its columns and cells are checked end to end with the HRV
// functions in tests/apps (a table row equals the analysis of its window).
#include "korvel/services/tabulet.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace korvel::services {
namespace {

TEST(TabuletFormat, ShowsNumbersInTheFunctionsFormats) {
  const std::pair<CellValue, const char*> general[] = {{std::int32_t{42}, "42"}, {0.8125, "0.8125"}, {CellValue{}, ""}};
  for (const auto& [value, text] : general) EXPECT_EQ(format_cell(value, "General"), text);
  const std::pair<double, const char*> decimals[] = {{800.0, "800.0"}, {812.34567, "812.3457"}, {12.5, "12.5"}};
  for (const auto& [value, text] : decimals) EXPECT_EQ(format_cell(value, "0.0###"), text) << value;
  EXPECT_EQ(format_cell(3725.5, "HH:mm:ss.00"), "01:02:05.50");
  EXPECT_EQ(format_cell(86400.0 + 59.999, "HH:mm:ss.00"), "00:01:00.00") << "whole days dropped, hundredths rounded";
  EXPECT_EQ(si_prefix(-3) + "s", "ms");
  EXPECT_EQ(si_prefix(-6), "µ");
  EXPECT_EQ(si_prefix(0), "");
  EXPECT_THROW(si_prefix(-2), std::invalid_argument);
}

}  // namespace
}  // namespace korvel::services
