// SPDX-License-Identifier: MIT
// The application's message box: records every box shown and answers with the next
// scripted answer, OK (1) once the script is used up. Nobody sits in front of this host.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace korvel::app {

inline constexpr std::int32_t kAnswerOk = 1;
inline constexpr std::int32_t kAnswerCancel = 2;

class MessageBoxes {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    std::uint32_t type = 0;
  };

  // Answers for the next boxes, in order.
  void script(std::vector<std::int32_t> answers) { answers_.insert(answers_.end(), answers.begin(), answers.end()); }

  std::int32_t show(Shown box) {
    shown_.push_back(std::move(box));
    if (answers_.empty()) return kAnswerOk;
    const std::int32_t answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  const std::vector<Shown>& shown() const noexcept { return shown_; }

 private:
  std::deque<std::int32_t> answers_;
  std::vector<Shown> shown_;
};

}  // namespace korvel::app
