// SPDX-License-Identifier: MIT
// EDFlib and matio read only from files: the fuzz input is written to a file of this
// process in the temporary folder and imported from there.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "korvel/io/recording.h"

template <typename Import>
void import_through_file(const std::uint8_t* data, std::size_t size, const std::string& extension, Import import) {
  // One file per process, removed when the fuzzer exits.
  static const struct ScratchFile {
    std::filesystem::path path;
    ~ScratchFile() {
      std::error_code ignored;
      std::filesystem::remove(path, ignored);
    }
  } scratch{std::filesystem::temp_directory_path() / ("korvel_io_fuzz_" + std::to_string(::getpid()) + extension)};
  const std::filesystem::path& file = scratch.path;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    const korvel::io::Recording recording = import(file);
    for (const korvel::io::Record& record : recording.records) {
      for (const korvel::io::Channel& channel : record.channels) {
        if (channel.samples.size() != record.length()) std::abort();
      }
      if (!(record.tick_interval_s > 0) || !std::isfinite(record.tick_interval_s)) std::abort();
    }
  } catch (const korvel::io::ImportError&) {
  }
}
