// SPDX-License-Identifier: MIT
// Arbitrary text as delimited samples; the first byte's low bit says whether the caller
// gives a sampling rate. Parsing yields channels of equal length on a positive, finite
// tick interval, or ImportError.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "korvel/io/csv_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::io;
  if (size == 0) return 0;
  const double rate = (data[0] & 1) != 0 ? 250.0 : 0.0;
  try {
    const Record record =
        parse_delimited_text(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), rate, "fuzz.csv");
    for (const Channel& channel : record.channels) {
      if (channel.samples.size() != record.length()) std::abort();
    }
    if (!(record.tick_interval_s > 0) || !std::isfinite(record.tick_interval_s)) std::abort();
  } catch (const ImportError&) {
  }
  return 0;
}
