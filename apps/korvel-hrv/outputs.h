// SPDX-License-Identifier: MIT
// Writing the tool's output files so that nothing is ever left half written (and reading
// them back), the summary it prints, and the progress it shows on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "korvel/io/file_output.h"

namespace korvel_hrv {

// The whole file as bytes; empty when it cannot be read.
std::string read_text_file(const std::filesystem::path& path);

using korvel::io::write_file_atomically;

// The shortest text that reads back as `value` ("0.1", "1805.5555555555557", "1e-07").
std::string shortest_text(double value);

// The classifier box of a results.json text: "RR 0.800-1.200 s, FF 1.000-1.500".
std::string classifier_box_text(const std::string& resultsJson);

// When the statistics leave out more than a fifth of the detected beats: what was left out
// and which option changes it. `fittedBox` as for summary_of.
std::optional<std::string> exclusion_warning(const std::string& resultsJson, bool fittedBox);

// A short human-readable summary of a results.json text; an undefined value shows as
// "n/a (reason)". `fittedBox`: the classifier box was fitted to this recording (--box auto).
std::string summary_of(const std::string& resultsJson, const std::filesystem::path& outDir, bool fittedBox);
// The warnings of a results.json text on stderr, one line each.
void print_warnings(const std::string& resultsJson);

// Shows "<label>... 42 % N s" (or "<label>... N s" while the fraction done is unknown) on
// stderr while work that takes more than a second runs, when stderr is a terminal; nothing
// otherwise. The line is cleared when the work ends.
class Progress {
 public:
  explicit Progress(std::string label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // The fraction of the work done, 0..1, from the thread doing it.
  void done(double fraction) noexcept { fraction_ = fraction; }

 private:
  std::string label_;
  std::atomic<bool> finished_{false};
  std::atomic<double> fraction_{-1.0};  // below 0: unknown
  std::thread thread_;
};

}  // namespace korvel_hrv
