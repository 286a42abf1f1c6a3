// SPDX-License-Identifier: MIT
#include "korvel/io/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

namespace korvel::io {
namespace {

[[noreturn]] void fail_with_errno(const std::filesystem::path& path, const char* what, int error) {
  throw std::runtime_error(path.string() + ": " + what + " (" + std::strerror(error) + ")");
}

}  // namespace

NewFile::NewFile(std::filesystem::path path) : path_(std::move(path)) {
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd_ < 0) fail_with_errno(path_, "cannot create the file", errno);
}

NewFile::~NewFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(path_.c_str());
}

void NewFile::fail(const char* what, int error) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(path_.c_str());
  fail_with_errno(path_, what, error);
}

void NewFile::write(std::string_view bytes) {
  if (fd_ < 0) throw std::logic_error(path_.string() + ": written after it was closed");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write the file", n < 0 ? errno : ENOSPC);
    done += static_cast<std::size_t>(n);
  }
}

void NewFile::close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path_.c_str());
    fail_with_errno(path_, "cannot write the file", error);
  }
}

void write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  NewFile file(path);
  file.write(bytes);
  file.close();
}

void write_file_atomically(const std::filesystem::path& path, std::string_view bytes) {
  // A random name, so that a file or link planted under a predictable name is never met.
  std::random_device entropy;
  std::filesystem::path temporary = path;
  temporary += "." + std::to_string(entropy()) + ".tmp";
  write_new_file(temporary, bytes);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    fail_with_errno(path, "cannot replace the file", error);
  }
}

}  // namespace korvel::io
