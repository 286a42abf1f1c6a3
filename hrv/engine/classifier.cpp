// SPDX-License-Identifier: MIT
#include "classifier.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace HRV {

namespace {

// Central differences with one-sided differences at both ends, per second; n zeros when
// fewer than two values. Differences are formed in double, stored in single precision.
std::vector<float> derivative(std::span<const float> v, double dt) {
  const std::size_t n = v.size();
  std::vector<float> d(n, 0.0f);
  if (n < 2) return d;
  d[0] = static_cast<float>((double{v[1]} - v[0]) / dt);
  for (std::size_t i = 1; i + 1 < n; ++i) d[i] = static_cast<float>((double{v[i + 1]} - v[i - 1]) / (2.0 * dt));
  d[n - 1] = static_cast<float>((double{v[n - 1]} - v[n - 2]) / dt);
  return d;
}

// Trailing moving average over `length` values, with the first `length` outputs all equal
// to the mean of the first `length` inputs; empty when there are fewer inputs than that.
std::vector<float> trailing_mean(const std::vector<float>& d, std::size_t length) {
  if (d.size() < length) return {};
  std::vector<float> m(d.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < length; ++i) sum += d[i];
  std::fill_n(m.begin(), length, static_cast<float>(sum / static_cast<double>(length)));
  for (std::size_t i = length; i < d.size(); ++i) {
    sum += double{d[i]} - d[i - length];
    m[i] = static_cast<float>(sum / static_cast<double>(length));
  }
  return m;
}

// Sample variance, divisor n - 1, two passes in double; 0 below two values.
double variance(std::span<const float> v) {
  if (v.size() < 2) return 0.0;
  double sum = 0.0;
  for (float x : v) sum += x;
  const double mean = sum / static_cast<double>(v.size());
  double squares = 0.0;
  for (float x : v) squares += (x - mean) * (x - mean);
  return squares / static_cast<double>(v.size() - 1);
}

}  // namespace

void HjorthComplexity(std::span<const float> x, std::int32_t smoothing, double dt, double* activity, double* mobility,
                      double* ff) {
  const std::size_t length = static_cast<std::size_t>(std::max(smoothing, 1));
  const std::vector<float> m = trailing_mean(derivative(x, dt), length);
  const std::vector<float> s = derivative(m, dt);
  const double vx = variance(x);
  const double vm = variance(m);
  const double vs = variance(s);
  if (activity) *activity = vx;
  if (mobility) *mobility = std::sqrt(vm / vx);
  if (ff) *ff = std::sqrt(vs * vx) / vm;
}

std::int32_t smoothing_length(std::int32_t width) {
  return static_cast<std::int32_t>(std::trunc(0.05 * width + 0.5));
}

SampleRange complexity_segment(std::int32_t tick, std::int32_t width, std::int32_t available) {
  std::int64_t first = std::int64_t{tick} - width / 2;
  if (first < 1) first = 0;
  const std::int64_t end = std::min<std::int64_t>(first + std::max(width, 0), available);
  return {static_cast<std::int32_t>(std::min<std::int64_t>(first, available)),
          static_cast<std::int32_t>(std::max<std::int64_t>(end - first, 0))};
}

BeatClassifier::BeatClassifier(ClassifierBox box, bool excludeEctopic, std::int32_t width, double dt) noexcept
    : box_(box),
      exclude_ectopic_(excludeEctopic),
      waveform_(width > 0),
      smoothing_(smoothing_length(width)),
      dt_(dt),
      grid_(dt) {}

void BeatClassifier::reset() noexcept {
  previous_tick_ = FiducialEvent::kEmptyTick;
  previous_fraction_ = 0.0f;
  previous_rr_ = kUndefined;
  previous_flags_ = ClassUnknown;
}

void BeatClassifier::classify(FiducialEvent& beat, std::span<const float> segment, bool userAdded) {
  if (previous_tick_ == FiducialEvent::kEmptyTick) {
    beat.rr = kUndefined;
    beat.rate = kUndefined;
  } else {
    beat.rr = (beat.tick - (static_cast<double>(previous_tick_) + previous_fraction_)) * dt_;
    beat.rate = 1.0 / beat.rr;
  }
  beat.deltaRR = std::isnan(beat.rr) || std::isnan(previous_rr_) ? kUndefined : beat.rr - previous_rr_;
  HjorthComplexity(segment, smoothing_, dt_, &beat.complexityA, &beat.complexityB, &beat.ff);
  beat.flags = flags_for(beat) | (userAdded ? UserAdded : 0u);

  previous_tick_ = beat.tick;
  previous_fraction_ = beat.fraction;
  previous_rr_ = beat.rr;
  previous_flags_ = beat.flags;
}

std::uint32_t BeatClassifier::flags_for(const FiducialEvent& beat) const noexcept {
  if (std::isnan(beat.rr) || (waveform_ && std::isnan(beat.ff))) return ClassUnknown;
  std::uint32_t flags = 0;
  if (grid_.below(beat.rr, box_.minRR) || grid_.above(beat.rr, box_.maxRR)) flags |= ClassOutsideRR;
  if (beat.ff < box_.minFF || beat.ff > box_.maxFF) flags |= ClassOutsideFF;  // never for an undefined FF
  const bool ectopic = flags != 0;
  if (!(exclude_ectopic_ && ectopic)) flags |= UseRR;
  // With exclusion on, a difference that involves an ectopic or unknown interval is left
  // out: this beat's own, and the one of the beat after it.
  const bool previousNormal = (previous_flags_ & ClassMask) == 0;
  if (!std::isnan(beat.deltaRR) && (!exclude_ectopic_ || (!ectopic && previousNormal))) flags |= UseDeltaRR;
  return flags;
}

}  // namespace HRV

