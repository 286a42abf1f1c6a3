// SPDX-License-Identifier: MIT
// normalizeSec(e, window, lookahead, noise): levels a squared envelope e into standard
// deviations of its noise null ("auto levelling").
//
// With a = sqrt(e) the envelope amplitude (negative e counts as 0), the output is
//   y[n] = (a[n] - mu) / max(sd, floor)
// with mu and sd the mean and standard deviation of the noise null: the Rayleigh
// distribution that a would follow if the envelope came from Gaussian noise, of scale s
// (mean s sqrt(pi/2), standard deviation s sqrt(2 - pi/2)). A threshold then means the
// same at any heart rate and any number of beats per window. The scale is estimated over
// the window [n - back, n + ahead] three ways:
//   s_mean  from m, the mean of a after capping the values above the window's 99th
//           percentile q: the window is mostly noise. This is the estimate on ECG, whose
//           beats fill a tenth of the window; the cap keeps one artefact spike from
//           raising m over a whole window around it.
//   s_quiet from the window's lower quartile, times 1.1: at least a quarter of it is
//           noise. The factor keeps the two estimates' chance fluctuations on pure noise
//           from lowering the scale: a few per cent lower there raises the rate of
//           threshold crossings by a third.
//   s_top   the scale at which q scores 6, twice the detector's usual threshold.
// s = min(s_mean, max(s_quiet, s_top)). On a pressure trace whose level stays high
// between pulses (a slow decline, a strong dicrotic wave) the envelope is busy through
// most of the cycle, so m is a large share of the pulse and a pulse 15 % smaller than
// its neighbours would score below 3 against s_mean; its quiet quarter shows the noise
// is smaller, and the scale drops towards it, but never so far that the window's top
// scores more than 6 (where the quiet quarter itself holds part of the pulses), and never
// below the noise the quiet quarter shows. Where the top already scores 6 or more
// against s_mean, which is nearly every ECG window, the output is that of the mean alone:
// mu = m, sd = kappa m with kappa = sqrt(4/pi - 1). `floor` = noise * fs keeps y from
// exploding on a flat signal, with `noise` in units of the signal the envelope's
// derivative came from; when the standard deviation and the floor are both 0, y is 0.
//
// Arguments: `window` is the window length in seconds and `lookahead` how far it reaches
// past the sample, so ahead = round(lookahead fs), back = round((window - lookahead) fs);
// the detector passes lookahead = window / 2, a centred window. The look-ahead is also the
// stage's latency, plus the grid below.
//
// Cost: the mean of a is a running sum updated every sample (recomputed exactly from the
// window every 65536 samples, or every window length if longer, so rounding cannot build
// up). The percentile, the quartile and the excess the cap removes, sum(max(a - q, 0)),
// come from AmplitudeHistogram at grid points every round(0.1 fs) samples and are
// interpolated linearly in between; each order statistic is within 0.78 % below the
// exact one (nearest rank: ceil(0.99 W) and ceil(0.25 W) of W values).
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
