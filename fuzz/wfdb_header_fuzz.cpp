// SPDX-License-Identifier: MIT
// Arbitrary text as a WFDB header: it parses or throws ImportError, nothing else.
#include <cstdint>
#include <string_view>

#include "korvel/io/wfdb_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    korvel::io::parse_wfdb_header(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.hea");
  } catch (const korvel::io::ImportError&) {
  }
  return 0;
}
