// SPDX-License-Identifier: MIT
// The script commands that views send to the plot engine, read as the page would read
// them: a chain of member accesses, calls and subscripts starting at "etch", such as
//   etch.get_plot('hrv_tachogram_view').get_scales()[1].auto_scale();
// String arguments are decoded as script string literals: \' \" \\ \n \r \t, and a
// backslash before a line break continues the literal on the next line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::ui {

struct ScriptArgument {
  bool is_string = false;
  std::string text;  // the decoded string, or the number as written
};

struct ScriptSegment {
  std::string name;
  bool called = false;  // followed by an argument list
  std::vector<ScriptArgument> arguments;
  std::optional<long> subscript;  // followed by [n]
};

class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws ScriptError saying where the command stops making sense. The first segment is
// "etch"; an optional ';' ends the command.
std::vector<ScriptSegment> parse_script(std::string_view command);

}  // namespace korvel::ui
