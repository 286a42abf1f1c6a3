// SPDX-License-Identifier: MIT
// A WFDB header and signal bytes: the input up to its first NUL is the header, the rest is
// the content of every signal file it names. Decoding yields channels of equal length on
// a positive tick interval, or ImportError.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "korvel/io/wfdb_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::io;
  const auto* end = std::find(data, data + size, std::uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(data), static_cast<std::size_t>(end - data));
  const std::vector<std::uint8_t> signal(end == data + size ? end : end + 1, data + size);
  const WfdbSignalFiles files{
      [&signal](const std::string&) { return static_cast<std::uint64_t>(signal.size()); },
      [&signal](const std::string&, std::uint64_t count) {
        return std::vector<std::uint8_t>(
            signal.begin(),
            signal.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(count, signal.size())));
      }};
  try {
    const WfdbHeader header = parse_wfdb_header(text, "fuzz.hea");
    const Record record = decode_wfdb_signals(header, files, "fuzz.hea", size % 2 == 0);
    if (record.channels.size() != header.signals.size()) std::abort();
    for (const Channel& channel : record.channels) {
      if (channel.samples.size() != record.length()) std::abort();
    }
    if (!(record.tick_interval_s > 0) || !std::isfinite(record.tick_interval_s)) std::abort();
  } catch (const ImportError&) {
  }
  return 0;
}
