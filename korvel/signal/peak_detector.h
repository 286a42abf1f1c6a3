// SPDX-License-Identifier: MIT
// cmpeakdet(v, height, period, reserved): one event per peak of v above `height`, at
// least `period` apart.
//
// Candidates are the samples that end a rise and are not followed by a further rise,
// v[n-1] < v[n] >= v[n+1], with v[n] > height: the peak of a hump, or the first sample of
// a plateau. Because a candidate needs only the next sample, a plateau cannot hold
// detection back; a terrace (rise, level, rise) gives a candidate at the terrace that the
// higher top replaces. Beyond the record the edge sample repeats, so the first sample is
// never a candidate and the last one is when it ends a rise.
//
// Candidates are taken in time order. One that comes at least `period` samples after the
// last event starts a new event. One that comes sooner replaces the last event if it is
// higher, and the period then runs from it; otherwise it is dropped. Replacing, not
// locking out, keeps a large P wave that crosses the threshold first from hiding the R
// wave after it. An event is final once `period` samples have passed without a
// candidate that could replace it, so the latency is period + 1 samples.
//
// The fourth argument of cmpeakdet is accepted for compatibility of the expression and
// has no effect: the replace rule already settles which sample of a complex marks it,
// and reading the constant as a search window after the threshold crossing detected
// worse.
#pragma once

#include <cstddef>
#include <memory>

#include "korvel/signal/stage.h"

namespace korvel::signal {

// `period` in samples; `height` in units of v.
std::unique_ptr<EventStage> peak_detector_stage(float height, std::size_t period);

}  // namespace korvel::signal
