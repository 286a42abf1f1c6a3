// SPDX-License-Identifier: MIT
// Writing the tool's output files so that nothing is ever left half written (and reading
// them back), the summary it prints, and the progress it shows on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace korvel_hrv {

// The whole file as bytes; empty when it cannot be read.
std::string read_text_file(const std::filesystem::path& path);

// Writes `contents` to a temporary file beside `path` and renames it over `path`.
// Throws std::runtime_error naming the file.
void write_file_atomically(const std::filesystem::path& path, const std::string& contents);

// A short human-readable summary of a results.json text.
std::string summary_of(const std::string& resultsJson, const std::filesystem::path& outDir);

// Shows "<label>... N s" on stderr while work that takes more than a second runs, when
// stderr is a terminal; nothing otherwise. The line is cleared when the work ends.
class Progress {
 public:
  explicit Progress(std::string label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  std::string label_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace korvel_hrv
