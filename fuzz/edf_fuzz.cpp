// SPDX-License-Identifier: MIT
// Arbitrary bytes as an EDF/BDF file: read or ImportError, never a crash.
#include "file_importer_fuzz.h"
#include "korvel/io/edf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  import_through_file(data, size, ".edf", [](const std::filesystem::path& file) { return korvel::io::read_edf(file); });
  return 0;
}
