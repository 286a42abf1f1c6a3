// SPDX-License-Identifier: MIT
// The expression language's signal functions by name: what each one takes and yields, and
// a factory that checks its numeric arguments and builds its streaming stage.
//
// Every signal function takes one signal as its first argument followed by a fixed number
// of numeric constants, e.g. lowpass(Ch1, 30) or cmpeakdet(HRV_vNRM, 3, 0.3, 30).
// Argument numbers in error messages count the signal as argument 1, as the user writes
// them.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "korvel/signal/stage.h"

namespace korvel::signal {

enum class ResultKind {
  Sampled,  // one output sample per input sample (SampleStage)
  Events,   // sample indexes of detected events (EventStage)
};

// A built stage: exactly the member matching the function's ResultKind is set.
struct Stage {
  std::unique_ptr<SampleStage> sampled;
  std::unique_ptr<EventStage> events;
};

struct SignalFunction {
  std::string_view name;      // canonical spelling, e.g. "normalizeSec"
  std::size_t numeric_arity;  // numeric arguments after the signal argument
  ResultKind result;
  // Builds the stage for an input sampled every `dt` seconds. Throws std::invalid_argument
  // naming the function, the argument and what is wrong when `args` does not hold exactly
  // `numeric_arity` values, when one of them is out of range, or when `dt` is not a
  // positive finite number.
  Stage (*make)(std::span<const double> args, double dt);
  // A heavy stage whose work is one sequential scan, which only pipelining puts on a
  // second core: the evaluation may run it on a helper thread, a block or two behind
  // the stages that feed it.
  bool runs_behind = false;
};

// The function called `name`, compared case-insensitively; nullptr if there is none.
const SignalFunction* find_signal_function(std::string_view name);

// Every signal function, in a fixed order.
std::span<const SignalFunction> signal_functions();

// Direct factories, with the same checks and messages as the registry's.
// lowpass(x, fc): zero-phase low-pass FIR at `cutoff_hz`; passes x through unchanged when
// the cut-off is at or above the Nyquist frequency.
std::unique_ptr<SampleStage> make_lowpass(double cutoff_hz, double dt);
// differentiate(x, points): time derivative in units of x per second by a central
// difference over `points` samples; only 3 is supported.
std::unique_ptr<SampleStage> make_differentiate(double points, double dt);
// resample(x, up, down, gain, taps, delay, kernel) with up = down = gain = 1, delay = 0
// and kernel = 2: the Hilbert transform of x over `taps` taps (made odd), aligned with x.
// That is the only form implemented; the registry refuses other values of the constants.
std::unique_ptr<SampleStage> make_hilbert(double taps, double dt);
// normalizeSec(x, window, lookahead, noise): x taken as a squared envelope and levelled
// over a running window of `window_sec` seconds that reaches `lookahead_sec` seconds past
// each sample, in standard deviations of the noise null, with floor `noise` (units of the
// signal the envelope was derived from).
std::unique_ptr<SampleStage> make_normalize(double window_sec, double lookahead_sec,
                                            double noise, double dt);
// cmpeakdet(x, height, period, reserved): local maxima of x above `height`, at least
// `period_sec` apart, a higher one within the period replacing the earlier; an event
// that is low against the recent beats and falls in their refractory time is refused
// (peak_detector.h). `reserved` (the detector passes 30) must be finite and has no effect.
std::unique_ptr<EventStage> make_peak_detector(double height, double period_sec,
                                               double reserved, double dt);

}  // namespace korvel::signal
