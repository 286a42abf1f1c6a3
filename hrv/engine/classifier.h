// SPDX-License-Identifier: MIT
// The beat classifier: the complexity (FF) of a beat's waveform and the rule that marks a
// beat normal or ectopic against a box in the (RR, FF) plane and decides whether its RR
// and its successive difference take part in the statistics. Plain engine code; the
// fiducial enumerator calls it once per beat, in beat order.
#pragma once

#include <cstdint>
#include <span>

#include "fiducial_event.h"
#include "sample_grid.h"

namespace HRV {

// Hjorth-style parameters of a segment x sampled every `dt` seconds. The derivative is
// smoothed by a trailing moving average over max(smoothing, 1) values before it is used.
// Every output pointer may be null.
//   activity: variance of x (divisor n - 1), in squared signal units;
//   mobility: sqrt(Vm / Vx), Vm the variance of the smoothed derivative, in 1/s;
//   ff:       sqrt(Vs * Vx) / Vm, Vs the variance of the derivative of the smoothed
//             derivative: the mobility of the derivative over the mobility of the signal,
//             no unit. About 1 for a sinusoid; NaN when the smoothed derivative does not vary
//             or the segment is shorter than the smoothing.
// Variances with fewer than two values are 0.
void HjorthComplexity(std::span<const float> x, std::int32_t smoothing, double dt, double* activity, double* mobility,
                      double* ff);

// Smoothing length for a complexity window of `width` samples: 5 % of the window rounded to
// the nearest sample, trunc(0.05 * width + 0.5). May be 0, which means no smoothing.
std::int32_t smoothing_length(std::int32_t width);

// Sample indices [first, first + count) within a record.
struct SampleRange {
  std::int32_t first = 0;
  std::int32_t count = 0;
};

// The complexity segment of a beat at `tick`: `width` samples starting width / 2 (integer
// division) before the tick, or at sample 0 when that start is below 1, cut short at
// `available`, the number of samples the record holds.
SampleRange complexity_segment(std::int32_t tick, std::int32_t width, std::int32_t available);

// The classifier box. Edges belong to the inside; an RR equal to an edge in whole samples is
// on it.
struct ClassifierBox {
  double minRR = 0.8;  // s
  double maxRR = 1.2;  // s
  double minFF = 1.0;
  double maxFF = 1.5;
};

// Classifies the beats of one enumeration run. A value type: the enumerator copies it with
// the rest of its per-run state.
class BeatClassifier {
 public:
  // `width` is the complexity window in samples, `dt` the sample interval in seconds. A
  // width of 0 means the beats have no waveform (beats imported from annotations or an RR
  // list): their FF is undefined and they are classified by their RR interval alone.
  BeatClassifier(ClassifierBox box, bool excludeEctopic, std::int32_t width, double dt) noexcept;

  // Forgets the previous beat, as at the start of a run.
  void reset() noexcept;

  // Fills rr, deltaRR, rate, the complexity fields and the flags of `beat` from its tick
  // and fraction, its complexity segment (see complexity_segment) and the previous beat,
  // then makes it the previous beat. `userAdded` marks a beat the user placed.
  void classify(FiducialEvent& beat, std::span<const float> segment, bool userAdded);

 private:
  std::uint32_t flags_for(const FiducialEvent& beat) const noexcept;

  ClassifierBox box_;
  bool exclude_ectopic_;
  bool waveform_;  // FF takes part in the class
  std::int32_t smoothing_;
  double dt_;
  SampleGrid grid_;

  std::int32_t previous_tick_ = FiducialEvent::kEmptyTick;  // kEmptyTick: no previous beat
  float previous_fraction_ = 0.0f;
  double previous_rr_ = kUndefined;
  std::uint32_t previous_flags_ = ClassUnknown;
};

}  // namespace HRV
