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

void write_new_file(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) fail_with_errno(path, "cannot create the file", errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      ::close(fd);
      ::unlink(path.c_str());
      fail_with_errno(path, "cannot write the file", error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(path.c_str());
    fail_with_errno(path, "cannot write the file", error);
  }
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
