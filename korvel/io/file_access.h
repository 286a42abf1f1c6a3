// SPDX-License-Identifier: MIT
// The importers' one window on the file system, and the one way they report a bad file:
// an ImportError whose message starts with the file's path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::io {

[[noreturn]] void fail(const std::filesystem::path& file, std::string_view what);

// Size in bytes of a regular file; fails naming the file when it is missing or not a file.
std::uint64_t checked_file_size(const std::filesystem::path& file);

// The whole file. Files above `max_bytes` are refused before anything is allocated.
std::vector<std::uint8_t> read_file_bytes(const std::filesystem::path& file, std::uint64_t max_bytes);
std::string read_file_text(const std::filesystem::path& file, std::uint64_t max_bytes);

// The first min(file size, count) bytes of the file.
std::vector<std::uint8_t> read_file_prefix(const std::filesystem::path& file, std::uint64_t count);

// A file kept open for reads at any offset, from several threads at once (pread).
class OpenFile {
 public:
  explicit OpenFile(const std::filesystem::path& file);  // fails naming the file
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  // Bytes [offset, offset + count) into `out`; fails naming the file when they are not all there.
  void read_at(std::uint64_t offset, std::uint64_t count, std::uint8_t* out) const;

 private:
  std::filesystem::path file_;
  int fd_;
};

// The recording's display name: the file name without folder and extension.
std::string recording_name(const std::filesystem::path& file);

}  // namespace korvel::io
