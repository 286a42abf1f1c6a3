// SPDX-License-Identifier: MIT
// Writing the tool's output files so that nothing is ever left half written, the summary
// it prints, and the progress it shows on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace korvel_hrv {

// Writes `contents` to a temporary file beside `path` and renames it over `path`.
// Throws std::runtime_error naming the file.
void write_file_atomically(const std::filesystem::path& path, const std::string& contents);

// A short human-readable summary of a results.json text. `fittedBox`: the classifier box
// was fitted to this recording (--box auto).
std::string summary_of(const std::string& resultsJson, const std::filesystem::path& outDir, bool fittedBox);

// The classifier box of a results.json text: "RR 0.800-1.200 s, FF 1.000-1.500".
std::string classifier_box_text(const std::string& resultsJson);

// When the statistics leave out more than a fifth of the detected beats: what was left out
// and which option changes it. `fittedBox` as for summary_of.
std::optional<std::string> exclusion_warning(const std::string& resultsJson, bool fittedBox);

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
