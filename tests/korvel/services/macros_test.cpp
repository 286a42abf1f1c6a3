// SPDX-License-Identifier: MIT
// The macro file: what it writes, what it reads back, and what it refuses.
#include "korvel/services/macros.h"

#include <gtest/gtest.h>

namespace korvel::services {
namespace {

TEST(MacroFile, WritesOneTabSeparatedStepPerLineAndReadsItBack) {
  const std::vector<MacroStep> steps = {{"HRV", "HRV_Analyze", {}}, {"PRB", "Probe_Count", {"x y", "2"}}};
  const std::string text = format_macro(steps);
  EXPECT_EQ(text, "korvel macro 1\nHRV\tHRV_Analyze\nPRB\tProbe_Count\tx y\t2\n");
  EXPECT_EQ(parse_macro(text), steps);
  EXPECT_EQ(parse_macro("korvel macro 1\r\n\r\nHRV\tHRV_Analyze\r\n"), (std::vector<MacroStep>{steps[0]}));
}

TEST(MacroFile, RefusesWhatItCannotWriteOrRead) {
  EXPECT_THROW(format_macro({{"HRV", "", {}}}), MacroError);
  EXPECT_THROW(format_macro({{"HRV", "A", {"tab\there"}}}), MacroError);
  auto message = [](std::string_view text) {
    try {
      parse_macro(text);
    } catch (const MacroError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message(""), "line 1: not a macro file (it is empty)");
  EXPECT_EQ(message("macro\nHRV\tA\n"), "line 1: not a macro file (expected \"korvel macro 1\")");
  EXPECT_EQ(message("korvel macro 1\nHRV\tA\nHRV_Analyze\n"), "line 3: a step needs a prefix and a name separated by a tab");
  EXPECT_EQ(message("korvel macro 1\n\tA\n"), "line 2: a step needs a prefix and a name separated by a tab");
}

}  // namespace
}  // namespace korvel::services
