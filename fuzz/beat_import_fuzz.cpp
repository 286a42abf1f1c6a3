// SPDX-License-Identifier: MIT
// Arbitrary bytes as a file of beats: recognised by content (an RR list, WFDB annotations
// or a signal) and, when they are beats, imported. An import yields one record whose beat
// ticks ascend within the record on a positive, finite tick interval, or ImportError.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "file_importer_fuzz.h"
#include "korvel/io/beat_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::io;
  import_through_file(data, size, ".txt", [](const std::filesystem::path& file) {
    switch (recognise_input(file, 0)) {
      case InputKind::Signal: return Recording{};
      case InputKind::Annotations: return read_annotated_beats(file);
      case InputKind::RRList: break;
    }
    Recording r = read_rr_list(file);
    const auto& ticks = r.records.at(0).events.at(0).ticks;
    if (!std::is_sorted(ticks.begin(), ticks.end()) || ticks.front() != 0) std::abort();
    if (static_cast<std::size_t>(ticks.back()) + 1 != r.records[0].length()) std::abort();
    return r;
  });
  return 0;
}
