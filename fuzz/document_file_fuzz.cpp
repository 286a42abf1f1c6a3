// SPDX-License-Identifier: MIT
// Arbitrary bytes as a document file. The loader's check refuses them with a message or
// accepts them; what it accepts must write back to a file that reads as the same contents.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "korvel/docfile/document_contents.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvel::docfile::DocumentContents contents;
  try {
    contents = korvel::docfile::decode_document(std::span<const std::uint8_t>(data, size));
  } catch (const korvel::docfile::DocumentFileError& e) {
    if (!*e.what()) std::abort();  // a refusal always says why
    return 0;
  }
  const auto written = korvel::docfile::encode_document(contents);
  if (korvel::docfile::encode_document(korvel::docfile::decode_document(written)) != written) std::abort();
  return 0;
}
