// SPDX-License-Identifier: MIT
// Which way the deflection that carries the beat points: up (an R wave, a pressure pulse)
// or down (the QS complex of a lead such as MCL1, the negative R wave of some mouse leads).
//
// The detection chain finds beats on the derivative's envelope, which ignores the sign,
// but places each beat at the maximum of the low-passed signal near the detection. On a
// lead whose QRS points down that maximum is wherever the window edge happens to be, and
// the beat times jitter by a QRS width. The host therefore decides the sign once per
// channel and, for a negative one, hands the detector the channel inverted.
//
// The decision: remove the slow waves (baseline wander, P and T waves, the level of a
// pressure trace) by subtracting a centred 0.1 s moving mean, which keeps a QRS complex
// or the edge of a pulse; then, in every 10 s segment, compare how far the signal reaches
// above zero with how far it reaches below, each as the value exceeded by 0.5 % of the
// segment's samples (about the top 8 ms of each beat at 60 beats per minute, so the
// extremes of the QRS and not one artefact). Each segment votes for the larger side; the
// majority decides, a tie being positive. A recording of more than two hours votes with
// 720 segments spread evenly over it. Negating the input exactly negates every step,
// so an inverted channel always gets the opposite decision and hence the same beats.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace korvel::signal {

enum class Polarity { Positive, Negative };

// A stretch of one channel's samples (a record of a recording), read where it lies a part
// at a time.
struct SamplePiece {
  std::size_t length = 0;
  std::function<void(std::size_t from, std::size_t n, float* out)> read;

  static SamplePiece of(std::span<const float> samples) {
    return {samples.size(), [samples](std::size_t from, std::size_t n, float* out) { std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(from), n, out); }};
  }
};

// The samples of one channel, sampled every `dt` seconds, given as consecutive pieces;
// non-finite samples count as 0. The work needs memory for one segment only, whatever the
// recording's length.
Polarity dominant_deflection(const std::vector<SamplePiece>& pieces, double dt);
Polarity dominant_deflection(std::span<const float> samples, double dt);

}  // namespace korvel::signal
