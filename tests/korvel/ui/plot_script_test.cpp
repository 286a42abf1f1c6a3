// SPDX-License-Identifier: MIT
// Reading the plot engine's script commands as the page would.
#include "korvel/ui/plot_script.h"

#include <gtest/gtest.h>

namespace korvel::ui {
namespace {

TEST(PlotScript, ReadsACallChainWithStringsNumbersAndSubscripts) {
  const auto chain = parse_script("etch.get_plot('hrv_tachogram_view').get_scales()[1].menu_closed(10,-2.5);");
  ASSERT_EQ(chain.size(), 4u);
  EXPECT_EQ(chain[0].name, "etch");
  EXPECT_FALSE(chain[0].called);
  EXPECT_EQ(chain[1].name, "get_plot");
  ASSERT_EQ(chain[1].arguments.size(), 1u);
  EXPECT_TRUE(chain[1].arguments[0].is_string);
  EXPECT_EQ(chain[1].arguments[0].text, "hrv_tachogram_view");
  EXPECT_TRUE(chain[2].called);
  EXPECT_EQ(chain[2].subscript, 1);
  EXPECT_EQ(chain[3].name, "menu_closed");
  ASSERT_EQ(chain[3].arguments.size(), 2u);
  EXPECT_FALSE(chain[3].arguments[1].is_string);
  EXPECT_EQ(chain[3].arguments[1].text, "-2.5");
}

TEST(PlotScript, DecodesStringsAsScriptLiterals) {
  // An escaped quote, and a CR LF escaped as backslash-n, backslash, CR LF: the literal
  // holds a line feed there, the continued line adds nothing.
  const auto chain = parse_script("etch.get_plot('p').set_markup('title: \\'RR\\', \\n\\\r\nid: 2')");
  EXPECT_EQ(chain[2].arguments[0].text, "title: 'RR', \nid: 2");
  EXPECT_EQ(parse_script("etch.x(\"a\\\\b\")")[1].arguments[0].text, "a\\b");
}

TEST(PlotScript, RefusesWhatThePageCouldNotRun) {
  auto message = [](std::string_view text) {
    try {
      parse_script(text);
    } catch (const ScriptError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message("window.alert('x');"), "a command starts with the plot engine, 'etch' at column 7");
  EXPECT_EQ(message("etch.get_plot('p'"), "',' expected at column 18");
  EXPECT_EQ(message("etch.get_plot('p).x()"), "the string does not end at column 22");
  EXPECT_EQ(message("etch.get_plot('p').x() y"), "unexpected text at column 24");
  EXPECT_EQ(message("etch.s()[a]"), "an index expected at column 10");
  EXPECT_EQ(message("etch.f('a\nb')"), "a line break inside a string at column 10");
}

}  // namespace
}  // namespace korvel::ui
