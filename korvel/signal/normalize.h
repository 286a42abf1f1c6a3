// SPDX-License-Identifier: MIT
// normalizeSec(e, window, lookahead, noise): levels a squared envelope e into standard
// deviations of its noise null ("auto levelling").
//
// With a = sqrt(e) the envelope amplitude (negative e counts as 0), the output is
//   y[n] = (a[n] - m[n]) / max(kappa m[n], floor),  kappa = sqrt(4/pi - 1),
// where m[n] is the mean of a over the window [n - back, n + ahead] after capping the
// values above the window's 99th percentile. If the envelope came from Gaussian noise, a
// would be Rayleigh distributed with standard deviation kappa times its mean, so y is in
// standard deviations of that noise and a threshold means the same at any heart rate and
// any number of beats per window. The cap keeps one artefact spike from raising m over a
// whole window around it. `floor` = noise * fs keeps y from exploding on a flat signal,
// with `noise` in units of the signal the envelope's derivative came from; when m and the
// floor are both 0, y is 0.
//
// Arguments: `window` is the window length in seconds and `lookahead` how far it reaches
// past the sample, so ahead = round(lookahead fs), back = round((window - lookahead) fs);
// the detector passes lookahead = window / 2, a centred window. The look-ahead is also the
// stage's latency, plus the grid below.
//
// Cost: the mean of a is a running sum updated every sample (recomputed exactly from the
// window every 65536 samples, or every window length if longer, so rounding cannot build
// up). The cap and the excess it removes, sum(max(a - cap, 0)), come from
// AmplitudeHistogram at grid points every round(0.1 fs) samples and are interpolated
// linearly in between; the cap is within 0.78 % below the exact 99th percentile (nearest
// rank, ceil(0.99 W) of W values).
//
// Non-finite input gives a NaN output sample and counts as 0 in the window.
#pragma once

#include <cstddef>
#include <memory>

#include "korvel/signal/stage.h"

namespace korvel::signal {

struct NormalizeShape {
  std::size_t back = 0;   // window samples before the current one
  std::size_t ahead = 0;  // window samples after it
  std::size_t grid = 1;   // samples between cap updates, >= 1
  double floor = 0;       // lowest denominator, units of a
};

std::unique_ptr<SampleStage> normalize_stage(const NormalizeShape& shape);

}  // namespace korvel::signal
