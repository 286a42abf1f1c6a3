// SPDX-License-Identifier: MIT
#include "korvel/io/file_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace korvel::io {

void fail(const std::filesystem::path& file, std::string_view what) {
  std::string message = file.string();
  message += ": ";
  message += what;
  throw ImportError(message);
}

std::uint64_t checked_file_size(const std::filesystem::path& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (error || !std::filesystem::exists(status)) fail(file, "file not found");
  if (!std::filesystem::is_regular_file(status)) fail(file, "not a regular file");
  const auto size = std::filesystem::file_size(file, error);
  if (error) fail(file, "cannot read the file size: " + error.message());
  return size;
}

namespace {

template <typename Container>
Container read_start(const std::filesystem::path& file, std::uint64_t size) {
  std::ifstream in(file, std::ios::binary);
  if (!in) fail(file, "cannot open the file for reading");
  Container bytes(static_cast<std::size_t>(size), 0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::uint64_t>(in.gcount()) != size) {
    fail(file, "read " + std::to_string(in.gcount()) + " of " + std::to_string(size) + " bytes");
  }
  return bytes;
}

template <typename Container>
Container read_whole(const std::filesystem::path& file, std::uint64_t max_bytes) {
  const std::uint64_t size = checked_file_size(file);
  if (size > max_bytes) {
    fail(file, "file of " + std::to_string(size) + " bytes is larger than the " + std::to_string(max_bytes) +
                   " bytes this importer accepts");
  }
  return read_start<Container>(file, size);
}

}  // namespace

std::vector<std::uint8_t> read_file_bytes(const std::filesystem::path& file, std::uint64_t max_bytes) {
  return read_whole<std::vector<std::uint8_t>>(file, max_bytes);
}

std::string read_file_text(const std::filesystem::path& file, std::uint64_t max_bytes) {
  return read_whole<std::string>(file, max_bytes);
}

std::vector<std::uint8_t> read_file_prefix(const std::filesystem::path& file, std::uint64_t count) {
  return read_start<std::vector<std::uint8_t>>(file, std::min(count, checked_file_size(file)));
}

OpenFile::OpenFile(const std::filesystem::path& file) : file_(file), fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC)) {
  if (fd_ < 0) fail(file, std::string("cannot open the file for reading: ") + std::strerror(errno));
}

OpenFile::~OpenFile() { ::close(fd_); }

void OpenFile::read_at(std::uint64_t offset, std::uint64_t count, std::uint8_t* out) const {
  std::uint64_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd_, out + done, static_cast<std::size_t>(count - done), static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0)
      fail(file_, "read " + std::to_string(done) + " of the " + std::to_string(count) + " bytes at offset " + std::to_string(offset) +
                      (got < 0 ? std::string(": ") + std::strerror(errno) : std::string(": the file ended (was it changed while open?)")));
    done += static_cast<std::uint64_t>(got);
  }
}

std::string recording_name(const std::filesystem::path& file) { return file.stem().string(); }

}  // namespace korvel::io
