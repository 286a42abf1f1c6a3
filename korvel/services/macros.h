// SPDX-License-Identifier: MIT
// Macros: the macro messages that extension documents send, recorded while the user
// records, kept in a text file and replayed into a document.
//
// File form (UTF-8): the line "korvel macro 1", then one step per line: the message
// class's prefix, its name and any positional arguments, separated by tabs. Blank lines
// are skipped.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/hresult.h"

namespace korvel::services {

class DocumentFrame;

struct MacroStep {
  std::string prefix;
  std::string name;
  std::vector<std::string> arguments;
  friend bool operator==(const MacroStep&, const MacroStep&) = default;
};

// A macro that cannot be written, read or replayed; the message names the line or step.
class MacroError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MacroRecorder {
 public:
  // Starts a new macro; one being recorded is dropped.
  void start() {
    steps_.clear();
    recording_ = true;
  }
  std::vector<MacroStep> stop() {
    recording_ = false;
    return std::move(steps_);
  }
  bool recording() const noexcept { return recording_; }
  // Ignored while not recording.
  void record(MacroStep step) {
    if (recording_) steps_.push_back(std::move(step));
  }

 private:
  bool recording_ = false;
  std::vector<MacroStep> steps_;
};

// Throws MacroError for a field with a tab or a line break, or an empty prefix or name, and
// when the file cannot be written.
std::string format_macro(const std::vector<MacroStep>& steps);
void save_macro(const std::filesystem::path& path, const std::vector<MacroStep>& steps);
// Throws MacroError ("line N: ...") for a missing or wrong first line and for a step
// without a prefix or name; also when the file cannot be read.
std::vector<MacroStep> parse_macro(std::string_view text);
std::vector<MacroStep> load_macro(const std::filesystem::path& path);

// Replays `steps` into `frame`. Every step is first matched to a registered message class
// by prefix and name and has its arguments accepted by it; a step that fails either throws
// MacroError before any message is delivered. Then each message is delivered in order
// (DocumentFrame::deliver_macro); the results in order.
std::vector<HRESULT> replay_macro(DocumentFrame& frame, const std::vector<MacroStep>& steps);

}  // namespace korvel::services
