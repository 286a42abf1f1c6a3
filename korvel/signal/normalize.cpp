// SPDX-License-Identifier: MIT
#include "korvel/signal/normalize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "korvel/signal/amplitude_histogram.h"

namespace korvel::signal {
namespace {

// The Rayleigh distribution of scale s: its mean, standard deviation and lower quartile
// over s.
const double kRayleighMeanPerScale = std::sqrt(std::numbers::pi / 2);
const double kRayleighSdPerScale = std::sqrt(2 - std::numbers::pi / 2);
const double kRayleighQuartilePerScale = std::sqrt(2 * std::log(4.0 / 3.0));

// The quiet quarter's estimate of the scale is raised by this factor before it may
// replace the mean's (see the header), and the window's top scores at most this much
// when it does.
constexpr double kQuietMargin = 1.1;
constexpr double kTopScore = 6;

// The scales that the window's lower quartile and its 99th percentile allow, per unit of
// each; and the mean's scale per unit of the capped mean.
const double kScalePerQuartile = kQuietMargin / kRayleighQuartilePerScale;
const double kScalePerTop = 1 / (kRayleighMeanPerScale + kTopScore * kRayleighSdPerScale);
const double kScalePerMean = 1 / kRayleighMeanPerScale;

float amplitude_of(float envelope) { return std::sqrt(std::max(envelope, 0.0f)); }

// What a sample contributes to the window statistics.
float statistic_of(float amplitude) { return std::isfinite(amplitude) ? amplitude : 0.0f; }

// Window positions between exact recomputations of the running sum: often enough that
// rounding from adding and subtracting stays near 1e-11 of the largest amplitude, rarely
// enough that the recomputation costs little.
constexpr std::size_t kResumPeriod = std::size_t{1} << 16;

class NormalizeStage final : public SampleStage {
 public:
  explicit NormalizeStage(const NormalizeShape& shape)
      : shape_(shape),
        width_(shape.back + shape.ahead + 1),
        inverse_width_(1.0 / static_cast<double>(width_)),
        top_rank_(static_cast<std::uint32_t>(width_ - (99 * width_ + 99) / 100 + 1)),
        quartile_rank_(static_cast<std::uint32_t>(width_ - (width_ + 3) / 4 + 1)),
        resum_period_(std::max(width_, kResumPeriod)),
        amplitudes_(std::bit_ceil(std::max(width_, shape.ahead + shape.grid) + 1)),
        sums_(std::bit_ceil(shape.grid + 1)) {}

  void push(std::span<const float> input, std::vector<float>& output) override {
    // The running sum lives in a local while the samples stream through, so the compiler
    // can keep it in a register across the stores into the rings and the output.
    double sum = sum_;
    for (const float e : input) arrive(amplitude_of(e), sum, output);
    sum_ = sum;
    if (!input.empty()) last_ = amplitude_of(input.back());
    received_ += static_cast<std::int64_t>(input.size());
  }

  void finish(std::vector<float>& output) override {
    // Beyond the record the last sample repeats until the last real output is final.
    double sum = sum_;
    while (next_output_ < received_) arrive(last_, sum, output);
    sum_ = sum;
    output.resize(output.size() - static_cast<std::size_t>(next_output_ - received_));
    next_output_ = received_;
  }

  std::size_t latency() const override { return shape_.ahead + shape_.grid - 1; }

 private:
  float& amplitude_at(std::int64_t index) {
    // Slot of the sample `index`; the window's first position reaches back to -back.
    const auto slot = static_cast<std::uint64_t>(index + static_cast<std::int64_t>(shape_.back));
    return amplitudes_[slot & (amplitudes_.size() - 1)];
  }

  // One more input sample (or a repeat of the last one past the end of the record);
  // `sum` is the window's running sum.
  void arrive(float amplitude, double& sum, std::vector<float>& output) {
    const std::int64_t index = arrived_++;
    const float value = statistic_of(amplitude);
    if (index == 0) {
      // The first sample also stands for the `back` samples before the record.
      for (std::int64_t i = -static_cast<std::int64_t>(shape_.back); i <= 0; ++i) {
        amplitude_at(i) = amplitude;
        histogram_.insert(value);
        sum += value;
      }
    } else {
      amplitude_at(index) = amplitude;
      histogram_.insert(value);
      sum += value;
    }
    const std::int64_t lead = index - static_cast<std::int64_t>(shape_.ahead);
    if (lead < 0) return;  // the first window is not complete yet
    if (lead > 0) {
      const float leaving = statistic_of(amplitude_at(lead - 1 - static_cast<std::int64_t>(shape_.back)));
      histogram_.remove(leaving);
      sum -= leaving;
      if (++since_resum_ == resum_period_) {
        since_resum_ = 0;
        sum = 0;
        for (std::int64_t i = lead - static_cast<std::int64_t>(shape_.back); i <= index; ++i) {
          sum += statistic_of(amplitude_at(i));
        }
      }
    }
    sums_[static_cast<std::size_t>(lead) & (sums_.size() - 1)] = sum;
    if (lead > 0 && ++since_grid_ < shape_.grid) return;
    since_grid_ = 0;

    const auto grid = static_cast<std::int64_t>(shape_.grid);
    const AmplitudeHistogram::Cap cap = histogram_.cap_at_rank_from_top(top_rank_);
    const GridPoint now{cap.excess, kScalePerTop * cap.value,
                        kScalePerQuartile * histogram_.value_at_rank_from_top(quartile_rank_)};
    const GridPoint before = lead == 0 ? now : grid_point_;
    const GridPoint step{(now.excess - before.excess) / static_cast<double>(grid),
                         (now.from_top - before.from_top) / static_cast<double>(grid),
                         (now.from_quartile - before.from_quartile) / static_cast<double>(grid)};
    for (std::int64_t n = std::max<std::int64_t>(lead - grid + 1, 0); n <= lead; ++n) {
      const auto k = static_cast<double>(n - (lead - grid));
      const double window_sum = sums_[static_cast<std::size_t>(n) & (sums_.size() - 1)];
      const double m = (window_sum - (before.excess + step.excess * k)) * inverse_width_;
      // The mean's scale, or the largest of the scales below it that the quartile and the
      // percentile allow.
      const double below = std::max(before.from_top + step.from_top * k, before.from_quartile + step.from_quartile * k);
      output.push_back(level(amplitude_at(n), std::min(kScalePerMean * m, below)));
    }
    grid_point_ = now;
    next_output_ = lead + 1;
  }

  // The amplitude in standard deviations of the noise null of scale `s`, from its mean.
  float level(float amplitude, double s) const {
    if (!std::isfinite(amplitude)) return std::numeric_limits<float>::quiet_NaN();
    const double scale = std::max(kRayleighSdPerScale * s, shape_.floor);
    if (!(scale > 0)) return 0.0f;
    return static_cast<float>((amplitude - kRayleighMeanPerScale * s) / scale);
  }

  // What the histogram gives at a grid point, interpolated linearly between grid points.
  struct GridPoint {
    double excess;         // sum of the amplitudes' excess over the cap
    double from_top;       // the scale at which the cap, the 99th percentile, scores kTopScore
    double from_quartile;  // the scale the lower quartile shows, with its margin
  };

  NormalizeShape shape_;
  std::size_t width_;
  double inverse_width_;
  std::uint32_t top_rank_;         // rank from the top of the 99th percentile value
  std::uint32_t quartile_rank_;    // rank from the top of the lower quartile
  std::size_t resum_period_;
  std::vector<float> amplitudes_;  // ring: the window and the outputs still pending
  std::vector<double> sums_;       // ring: window sums of the outputs still pending
  AmplitudeHistogram histogram_;
  double sum_ = 0;                 // sum of the statistics over the current window
  GridPoint grid_point_{};         // the previous grid point
  std::size_t since_resum_ = 0;    // window positions since the sum was recomputed
  std::size_t since_grid_ = 0;     // window positions since the last grid point
  std::int64_t arrived_ = 0;       // input samples seen, with the repeats past the end
  std::int64_t received_ = 0;      // input samples of the record
  std::int64_t next_output_ = 0;
  float last_ = 0;
};

}  // namespace

std::unique_ptr<SampleStage> normalize_stage(const NormalizeShape& shape) {
  return std::make_unique<NormalizeStage>(shape);
}

}  // namespace korvel::signal
