// SPDX-License-Identifier: MIT
#include "korvel/signal/peak_detector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace korvel::signal {
namespace {

// The recent beats' rule (see the header): how many beats it remembers and needs before
// it judges, the share of their median peak a candidate in the refractory time must
// reach, the share of the lower quartile of their intervals the refractory time lasts and
// its longest span, and the pause after which the beats are forgotten.
constexpr std::size_t kRecentBeats = 8;
constexpr std::size_t kBeatsBeforeJudging = 3;
constexpr float kRefractoryPeakShare = 0.7f;
constexpr double kRefractoryIntervalShare = 0.5;
constexpr double kLongestRefractorySec = 1.0;
constexpr double kForgetAfterSec = 3.0;

// The last few values of a quantity, newest replacing oldest.
template <typename T>
class Recent {
 public:
  void add(T value) {
    values_[next_] = value;
    next_ = (next_ + 1) % kRecentBeats;
    size_ = std::min(size_ + 1, kRecentBeats);
  }
  void clear() { size_ = next_ = 0; }
  std::size_t size() const { return size_; }
  // The k-th smallest held value, from 0; k must be below size().
  T ranked(std::size_t k) const {
    std::array<T, kRecentBeats> sorted = values_;
    const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(k);
    std::nth_element(sorted.begin(), at, sorted.begin() + static_cast<std::ptrdiff_t>(size_));
    return *at;
  }
  // The upper one of the middle two when the count is even; size() must be above 0.
  T median() const { return ranked(size_ / 2); }

 private:
  std::array<T, kRecentBeats> values_{};
  std::size_t size_ = 0;
  std::size_t next_ = 0;
};

// Judges each event of the fixed rule against the beats accepted before it.
class RecentBeatsGate {
 public:
  RecentBeatsGate(std::int64_t period, double fs)
      : period_(period),
        longest_refractory_(std::max(period, static_cast<std::int64_t>(std::llround(kLongestRefractorySec * fs)))),
        forget_after_(static_cast<std::int64_t>(std::llround(kForgetAfterSec * fs))) {}

  bool accept(std::int64_t at, float value) {
    if (has_last_ && at - last_ > forget_after_) {
      peaks_.clear();
      intervals_.clear();
      has_last_ = false;
    }
    if (in_refractory(at) && !(value >= kRefractoryPeakShare * peaks_.median())) return false;
    if (has_last_) intervals_.add(at - last_);
    peaks_.add(value);
    last_ = at;
    has_last_ = true;
    return true;
  }

 private:
  bool in_refractory(std::int64_t at) const {
    if (intervals_.size() + 1 < kBeatsBeforeJudging) return false;  // peaks_ holds one more
    const auto short_interval = static_cast<double>(intervals_.ranked((intervals_.size() - 1) / 4));
    const auto span = static_cast<std::int64_t>(std::llround(kRefractoryIntervalShare * short_interval));
    return at - last_ < std::clamp(span, period_, longest_refractory_);
  }

  std::int64_t period_;
  std::int64_t longest_refractory_;
  std::int64_t forget_after_;
  Recent<float> peaks_;
  Recent<std::int64_t> intervals_;
  bool has_last_ = false;
  std::int64_t last_ = 0;
};

class PeakDetectorStage final : public EventStage {
 public:
  PeakDetectorStage(float height, std::size_t period, double fs)
      : height_(height), period_(static_cast<std::int64_t>(period)), gate_(period_, fs) {}

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
    if (pending_) emit(events);
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
    if (pending_ && index_ - 1 - event_ >= period_) emit(events);
  }

  void emit(std::vector<std::int64_t>& events) {
    if (gate_.accept(event_, event_value_)) events.push_back(event_);
    pending_ = false;
  }

  float height_;
  std::int64_t period_;
  std::int64_t index_ = 0;  // samples received
  float previous_ = 0;      // sample index_ - 2 (or its edge repeat)
  float current_ = 0;       // sample index_ - 1
  bool pending_ = false;
  std::int64_t event_ = 0;
  float event_value_ = 0;
  RecentBeatsGate gate_;
};

}  // namespace

std::unique_ptr<EventStage> peak_detector_stage(float height, std::size_t period, double fs) {
  return std::make_unique<PeakDetectorStage>(height, period, fs);
}

}  // namespace korvel::signal
