// SPDX-License-Identifier: MIT
// Arbitrary bytes as an MIT-format annotation file: they decode or throw ImportError.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "korvel/io/wfdb_annotations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::io;
  try {
    const AnnotationSet set = decode_wfdb_annotations(std::span(data, size), "fuzz.atr");
    // Every annotation takes at least one word of the file.
    if (set.annotations.size() > size / 2) std::abort();
    if (beat_annotations(set.annotations).size() > set.annotations.size()) std::abort();
  } catch (const ImportError&) {
  }
  return 0;
}
