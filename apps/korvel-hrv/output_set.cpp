// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/output_set.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace korvel_hrv {
namespace {

std::runtime_error failure(const std::filesystem::path& path, const char* what, int error) {
  return std::runtime_error(path.string() + ": " + what + " (" + std::strerror(error) + ")");
}

bool present(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

OutputSet::OutputSet(std::filesystem::path target) : target_(std::move(target)) {
  if (target_.empty()) target_ = ".";
  std::error_code ec;
  std::filesystem::create_directories(target_, ec);
  if (ec || !std::filesystem::is_directory(target_))
    throw std::runtime_error(target_.string() + ": cannot create the output folder" + (ec ? " (" + ec.message() + ")" : ""));
  // Inside the target, on its file system, so that moving a file in is a rename, and
  // needing no more permission than the target itself.
  std::string pattern = (target_ / ".writing-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw failure(pattern, "cannot create the folder the outputs are written in", errno);
  staging_ = pattern;
  staging_fd_ = ::open(staging_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

OutputSet::~OutputSet() {
  if (staging_fd_ >= 0) ::close(staging_fd_);
  std::error_code ignored;
  std::filesystem::remove_all(staging_, ignored);
}

std::filesystem::path OutputSet::staging_by_descriptor() const {
  std::error_code ec;
  if (staging_fd_ < 0 || !std::filesystem::is_directory("/proc/self/fd", ec)) return staging_;
  return "/proc/self/fd/" + std::to_string(staging_fd_);
}

void OutputSet::commit(std::span<const std::string> names) {
  struct Move {
    std::filesystem::path from, to;
    bool exchanged;
  };
  std::vector<Move> done;
  auto undo = [&] {
    for (auto it = done.rbegin(); it != done.rend(); ++it)
      ::renameat2(AT_FDCWD, it->to.c_str(), AT_FDCWD, it->from.c_str(), it->exchanged ? RENAME_EXCHANGE : 0);
  };
  for (const std::string& name : names) {
    const std::filesystem::path fresh = staging_ / name, old = target_ / name;
    const bool have = present(fresh), had = present(old);
    if (!have && !had) continue;
    // The new one in, the old one out to the staging folder, where it is removed with it.
    Move move = have ? Move{fresh, old, had} : Move{old, fresh, false};
    if (::renameat2(AT_FDCWD, move.from.c_str(), AT_FDCWD, move.to.c_str(), move.exchanged ? RENAME_EXCHANGE : RENAME_NOREPLACE) != 0) {
      const int error = errno;
      undo();
      throw failure(old, "cannot move the new output into place; the old outputs are kept", error);
    }
    done.push_back(std::move(move));
  }
}

}  // namespace korvel_hrv
