// SPDX-License-Identifier: MIT
// The automatic classifier box: a box in the (RR, FF) plane around a recording's own main
// cluster of beats, for recordings whose rhythm or waveform the species presets do not fit.
//
// 1. Regular beats: beats with an RR and an FF whose interval differs by at most 15 % from
//    the interval before it and from the interval after it. A premature beat (short
//    interval, then a compensatory pause), the beat after the pause and beats among
//    artefacts fail this test, whatever the recording's heart rate; sinus rhythm passes.
// 2. The main cluster: the regular beats within 5 robust standard deviations (1.4826 times
//    the median absolute deviation) of the median, on ln RR and on FF at once; the median
//    and deviations are taken again over the cluster until it no longer changes. This
//    drops a second, smaller group of regular beats (a run of ventricular tachycardia,
//    regular artefacts) whose RR or waveform lies apart, but keeps a rate that drifts
//    over hours, whose spread the deviations follow.
// 3. The box spans the cluster from its 0.5 % to its 99.5 % quantile on each axis, widened
//    on RR by 10 % of each edge (below the prematurity of a premature beat, above the
//    beat-to-beat change of sinus rhythm) and on FF by the larger of 5 % of the median FF
//    and 3 robust standard deviations; edges are kept inside the settings' ranges
//    (RR 0 to 60 s, FF 0 to 10).
// Beats without a waveform (no beat has an FF: imported beats) are fitted on RR alone and
// the box spans the whole FF range.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "classifier.h"
#include "plot_point.h"

namespace HRV {

// Fewer regular beats than this describe no cluster.
inline constexpr std::size_t kFitMinimumRegularBeats = 20;

// The box around the main cluster of `beats`, in beat order, each (x = RR s, y = FF); NaN
// values are allowed and take no part. Nothing when fewer than kFitMinimumRegularBeats
// beats are regular.
std::optional<ClassifierBox> FitClassifierBox(std::span<const PlotPoint> beats);

}  // namespace HRV
