// SPDX-License-Identifier: MIT
// Writing files so that no reader ever sees one half written and no planted link is
// followed: every file is created anew (O_EXCL|O_NOFOLLOW) and every write is checked.
#pragma once

#include <filesystem>
#include <string_view>

namespace korvel::io {

// A file created anew at `path`, which must not exist (not even as a link), written piece by
// piece: for outputs too large to assemble in memory first. Each call throws
// std::runtime_error naming the file and the reason (a full disk, for one); a file that was
// not closed, or could not be written whole, is removed.
class NewFile {
 public:
  explicit NewFile(std::filesystem::path path);
  ~NewFile();  // removes the file unless close() succeeded
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  void write(std::string_view bytes);
  void close();

 private:
  [[noreturn]] void fail(const char* what, int error);

  std::filesystem::path path_;
  int fd_ = -1;
};

// Creates `path` and writes `bytes` to it, as NewFile.
void write_new_file(const std::filesystem::path& path, std::string_view bytes);

// Writes `bytes` to a fresh temporary file beside `path`, then renames it over `path`: a
// reader sees the old file or the new one. Throws as write_new_file.
void write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace korvel::io
