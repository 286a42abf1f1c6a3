// SPDX-License-Identifier: MIT
// Arbitrary text as a plot-engine script command, as the stand-in plot control reads the
// commands views send. A command parses or is refused with ScriptError; nothing else
// escapes, and a parsed command always starts at "etch".
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "korvel/ui/plot_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::ui;
  try {
    const std::vector<ScriptSegment> segments = parse_script(std::string_view(reinterpret_cast<const char*>(data), size));
    if (segments.empty() || segments.front().name != "etch") std::abort();
  } catch (const ScriptError&) {
  }
  return 0;
}
