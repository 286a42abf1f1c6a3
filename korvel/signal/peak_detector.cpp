// SPDX-License-Identifier: MIT
#include "korvel/signal/peak_detector.h"

#include <cstdint>

namespace korvel::signal {
namespace {

class PeakDetectorStage final : public EventStage {
 public:
  PeakDetectorStage(float height, std::size_t period)
      : height_(height), period_(static_cast<std::int64_t>(period)) {}

  void push(std::span<const float> input, std::vector<std::int64_t>& events) override {
    for (const float v : input) {
      if (index_ == 0) {
        previous_ = v;  // the sample before the record repeats the first one
      } else {
        // `current_` at index_ - 1 is judged now that its successor `v` is known.
        consider(index_ - 1, v);
        previous_ = current_;
      }
      current_ = v;
      ++index_;
      settle(events);
    }
  }

  void finish(std::vector<std::int64_t>& events) override {
    if (index_ > 0) consider(index_ - 1, current_);  // the sample after the record repeats it
    if (pending_) events.push_back(event_);
    pending_ = false;
  }

  std::size_t latency() const override { return static_cast<std::size_t>(period_) + 1; }

 private:
  void consider(std::int64_t at, float next) {
    // Non-short-circuit: on noise the three tests are unpredictable branches.
    const unsigned peak = static_cast<unsigned>(previous_ < current_) & static_cast<unsigned>(current_ >= next) &
                          static_cast<unsigned>(current_ > height_);
    if (peak == 0) return;
    // An event still pending is within the period of `at`: settle() finalises it as soon as
    // the period has passed.
    if (!pending_) {
      pending_ = true;
      event_ = at;
      event_value_ = current_;
    } else if (current_ > event_value_) {
      event_ = at;
      event_value_ = current_;
    }
  }

  // The pending event is final once no candidate within the period can follow: the next
  // sample to be judged is index_ - 1.
  void settle(std::vector<std::int64_t>& events) {
    if (pending_ && index_ - 1 - event_ >= period_) {
      events.push_back(event_);
      pending_ = false;
    }
  }

  float height_;
  std::int64_t period_;
  std::int64_t index_ = 0;  // samples received
  float previous_ = 0;      // sample index_ - 2 (or its edge repeat)
  float current_ = 0;       // sample index_ - 1
  bool pending_ = false;
  std::int64_t event_ = 0;
  float event_value_ = 0;
};

}  // namespace

std::unique_ptr<EventStage> peak_detector_stage(float height, std::size_t period) {
  return std::make_unique<PeakDetectorStage>(height, period);
}

}  // namespace korvel::signal
