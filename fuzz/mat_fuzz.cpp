// SPDX-License-Identifier: MIT
// Arbitrary bytes as a MATLAB file: read or ImportError, never a crash.
#include "file_importer_fuzz.h"
#include "korvel/io/mat_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  import_through_file(data, size, ".mat",
                      [](const std::filesystem::path& file) { return korvel::io::read_mat(file, "", 100.0); });
  return 0;
}
