// SPDX-License-Identifier: MIT
// The files of one analysis as a set: written into a fresh private folder in the output
// folder and moved into place only when every one of them was written, so that the output
// folder holds either the whole old set or the whole new one.
#pragma once

#include <filesystem>
#include <span>
#include <string>

namespace korvel_hrv {

class OutputSet {
 public:
  // Creates `target` when needed and the staging folder in it. Throws
  // std::runtime_error naming the folder.
  explicit OutputSet(std::filesystem::path target);
  // Removes the staging folder with whatever it still holds (a failed set, or the old one).
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // Where the set is written.
  const std::filesystem::path& staging() const { return staging_; }
  // The staging folder as a path of plain ASCII ("/proc/self/fd/N"), for interfaces that
  // carry paths as UTF-16 text and would lose the bytes of a folder name that is not UTF-8.
  std::filesystem::path staging_by_descriptor() const;

  // Moves each of `names` (files or folders) from the staging folder into the target,
  // each exchanged atomically with the old one; an old one the new set lacks leaves with
  // the old set. When a move fails, every move before it is undone and this throws.
  void commit(std::span<const std::string> names);

 private:
  std::filesystem::path target_;
  std::filesystem::path staging_;
  int staging_fd_ = -1;
};

}  // namespace korvel_hrv
