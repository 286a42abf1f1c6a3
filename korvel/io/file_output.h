// SPDX-License-Identifier: MIT
// Writing files so that no reader ever sees one half written and no planted link is
// followed: every file is created anew (O_EXCL|O_NOFOLLOW) and every write is checked.
#pragma once

#include <filesystem>
#include <string_view>

namespace korvel::io {

// Creates `path`, which must not exist (not even as a link), and writes `bytes` to it.
// Throws std::runtime_error naming the file and the reason (a full disk, for one); a file
// that could not be written whole is removed.
void write_new_file(const std::filesystem::path& path, std::string_view bytes);

// Writes `bytes` to a fresh temporary file beside `path`, then renames it over `path`: a
// reader sees the old file or the new one. Throws as write_new_file.
void write_file_atomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace korvel::io
