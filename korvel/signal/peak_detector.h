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
// A final event is then judged against the recent beats, which can only refuse it, never
// add one: it is refused when it falls within the refractory time after the last beat
// and its peak is below 0.7 of the median peak of the last 8 beats. The refractory time
// is half the lower quartile of the last 8 intervals (the shortest of up to 4, the
// second shortest of 5 to 8), clamped to [period, 1 s]. This drops the second event of
// a pressure pulse on its steep down-stroke or its notch and the T wave or muscle-noise
// spike after an R wave, which the fixed rule takes once they are just past `period`.
// A short interval rather than the median, so that the rule cannot lock onto every
// other beat (as the median would in a bigeminy of low premature beats): to refuse a
// beat, all held intervals but at most one must be over twice as long as its own, and a
// beat of the usual height passes anyway. Not the very shortest once 5 are held, so that
// one accepted double cannot disarm the rule for 8 beats. The judging starts after 3
// beats, and the beats are forgotten after 3 s without one, so that a rhythm that
// stopped cannot judge the next. The decision needs no later sample, so the latency
// stays period + 1.
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

// `period` in samples; `height` in units of v; `fs` the sample rate in Hz.
std::unique_ptr<EventStage> peak_detector_stage(float height, std::size_t period, double fs);

}  // namespace korvel::signal
