// SPDX-License-Identifier: MIT
// Arbitrary text as a macro file. A file either parses or is refused with MacroError;
// whatever parses must format and parse back to the same steps, unless it holds a field
// that cannot be written (refused with MacroError too).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "korvel/services/macros.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::services;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<MacroStep> steps;
  try {
    steps = parse_macro(text);
  } catch (const MacroError&) {
    return 0;
  }
  std::string written;
  try {
    written = format_macro(steps);
  } catch (const MacroError&) {
    return 0;
  }
  if (parse_macro(written) != steps) std::abort();
  return 0;
}
