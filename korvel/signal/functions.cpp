// SPDX-License-Identifier: MIT
#include "korvel/signal/functions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string>

#include "korvel/signal/differentiate.h"
#include "korvel/signal/hilbert.h"
#include "korvel/signal/lowpass.h"
#include "korvel/signal/normalize.h"
#include "korvel/signal/peak_detector.h"

namespace korvel::signal {
namespace {

// Longest low-pass kernel and Hilbert transformer, and widest normalisation window, in
// samples: bounds the memory a single expression can ask for (tens of MB).
constexpr std::size_t kMaxKernelTaps = 1'000'001;
constexpr double kMaxWindowSamples = 16'000'000;

// Ten significant digits: limits such as 1000001 print in full, arguments as typed.
std::string number(double value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(10);
  out << value;
  return out.str();
}

[[noreturn]] void reject(std::string_view function, std::size_t argument, std::string_view role,
                         std::string_view problem, double value) {
  std::ostringstream message;
  message << function << ": argument " << argument << " (" << role << ") " << problem << ", got "
          << number(value);
  throw std::invalid_argument(message.str());
}

double sample_rate(std::string_view function, double dt) {
  if (!(std::isfinite(dt) && dt > 0)) {
    throw std::invalid_argument(std::string(function) +
                                ": the sample interval must be a positive number of seconds, got " +
                                number(dt));
  }
  return 1 / dt;
}

void require_finite(std::string_view function, std::size_t argument, std::string_view role, double value) {
  if (!std::isfinite(value)) reject(function, argument, role, "must be a finite number", value);
}

}  // namespace

std::unique_ptr<SampleStage> make_lowpass(double cutoff_hz, double dt) {
  const double fs = sample_rate("lowpass", dt);
  if (!(std::isfinite(cutoff_hz) && cutoff_hz > 0)) {
    reject("lowpass", 2, "cut-off frequency in Hz", "must be greater than 0", cutoff_hz);
  }
  if (5.5 * fs / cutoff_hz > static_cast<double>(kMaxKernelTaps)) {
    reject("lowpass", 2, "cut-off frequency in Hz",
           "is too low for the sample rate of " + number(fs) + " Hz (the filter would need more than " +
               number(static_cast<double>(kMaxKernelTaps)) + " taps)",
           cutoff_hz);
  }
  return lowpass_stage(lowpass_kernel(cutoff_hz, fs));
}

std::unique_ptr<SampleStage> make_differentiate(double points, double dt) {
  const double fs = sample_rate("differentiate", dt);
  // The argument is the number of points of the difference formula. Only the three-point
  // central difference is implemented: it is centred (no delay), and on a signal that is
  // already low-passed a wider formula would add nothing the detection needs.
  if (points != 3) reject("differentiate", 2, "number of points", "must be 3", points);
  return differentiate_stage(fs);
}

std::unique_ptr<SampleStage> make_hilbert(double taps, double dt) {
  sample_rate("resample", dt);
  if (!(taps >= 3 && taps <= static_cast<double>(kMaxKernelTaps) && std::floor(taps) == taps)) {
    reject("resample", 5, "taps", "must be a whole number from 3 to " + number(static_cast<double>(kMaxKernelTaps)),
           taps);
  }
  return hilbert_stage(static_cast<std::size_t>(taps));
}

std::unique_ptr<SampleStage> make_normalize(double window_sec, double lookahead_sec, double noise, double dt) {
  const double fs = sample_rate("normalizeSec", dt);
  if (!(std::isfinite(window_sec) && window_sec > 0)) {
    reject("normalizeSec", 2, "window in s", "must be greater than 0", window_sec);
  }
  if (!(lookahead_sec >= 0 && lookahead_sec <= window_sec)) {
    reject("normalizeSec", 3, "look-ahead in s", "must be from 0 to the window length " + number(window_sec),
           lookahead_sec);
  }
  if (!(std::isfinite(noise) && noise >= 0)) reject("normalizeSec", 4, "noise", "must be 0 or more", noise);
  if (window_sec * fs > kMaxWindowSamples) {
    reject("normalizeSec", 2, "window in s",
           "spans more than " + number(kMaxWindowSamples) + " samples at " + number(fs) + " Hz", window_sec);
  }
  NormalizeShape shape;
  shape.ahead = static_cast<std::size_t>(std::llround(lookahead_sec * fs));
  shape.back = static_cast<std::size_t>(std::llround((window_sec - lookahead_sec) * fs));
  shape.grid = std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(0.1 * fs)));
  shape.floor = noise * fs;
  return normalize_stage(shape);
}

std::unique_ptr<EventStage> make_peak_detector(double height, double period_sec, double reserved, double dt) {
  const double fs = sample_rate("cmpeakdet", dt);
  require_finite("cmpeakdet", 2, "minimum height", height);
  if (!(period_sec >= 0 && period_sec * fs <= kMaxWindowSamples)) {
    reject("cmpeakdet", 3, "minimum period in s",
           "must be from 0 to " + number(kMaxWindowSamples / fs) + " at " + number(fs) + " Hz", period_sec);
  }
  require_finite("cmpeakdet", 4, "reserved", reserved);
  // At least `period_sec` apart: round up, with a margin for periods that are a whole
  // number of samples but not exactly representable.
  const double period = std::max(0.0, std::ceil(period_sec * fs - 1e-6));
  return peak_detector_stage(static_cast<float>(height), static_cast<std::size_t>(period), fs);
}

namespace {

void check_arity(std::string_view function, std::size_t arity, std::span<const double> args,
                 std::string_view roles) {
  if (args.size() != arity) {
    std::ostringstream message;
    message << function << " takes " << arity + 1 << " arguments (" << roles << "), got " << args.size() + 1;
    throw std::invalid_argument(message.str());
  }
}

// resample(x, up, down, gain, taps, delay, kernel) stands for a general resampler; the
// form implemented is the one with no rate change (up = down = 1), unit gain, no delay
// and kernel 2, the Hilbert transformer. Other values are refused rather than ignored.
void check_hilbert_form(std::span<const double> args) {
  constexpr std::array<std::pair<std::size_t, double>, 5> required{
      {{0, 1.0}, {1, 1.0}, {2, 1.0}, {4, 0.0}, {5, 2.0}}};
  constexpr std::array<std::string_view, 6> roles{"up-sampling factor", "down-sampling factor", "gain",
                                                  "taps", "delay",       "kernel"};
  for (const auto& [at, value] : required) {
    if (args[at] != value) {
      reject("resample", at + 2, roles[at],
             "must be " + number(value) + ": only the Hilbert transformer resample(x,1,1,1,N,0,2) is supported",
             args[at]);
    }
  }
}

Stage build_lowpass(std::span<const double> args, double dt) {
  check_arity("lowpass", 1, args, "signal, cut-off Hz");
  return {make_lowpass(args[0], dt), nullptr};
}

Stage build_differentiate(std::span<const double> args, double dt) {
  check_arity("differentiate", 1, args, "signal, points");
  return {make_differentiate(args[0], dt), nullptr};
}

Stage build_resample(std::span<const double> args, double dt) {
  check_arity("resample", 6, args, "signal, 1, 1, 1, taps, 0, 2");
  check_hilbert_form(args);
  return {make_hilbert(args[3], dt), nullptr};
}

Stage build_normalize(std::span<const double> args, double dt) {
  check_arity("normalizeSec", 3, args, "signal, window s, look-ahead s, noise");
  return {make_normalize(args[0], args[1], args[2], dt), nullptr};
}

Stage build_peak_detector(std::span<const double> args, double dt) {
  check_arity("cmpeakdet", 3, args, "signal, minimum height, minimum period s, reserved");
  return {nullptr, make_peak_detector(args[0], args[1], args[2], dt)};
}

constexpr std::array<SignalFunction, 5> kFunctions{{
    {"lowpass", 1, ResultKind::Sampled, build_lowpass},
    {"differentiate", 1, ResultKind::Sampled, build_differentiate},
    {"resample", 6, ResultKind::Sampled, build_resample},
    {"normalizeSec", 3, ResultKind::Sampled, build_normalize, true},
    {"cmpeakdet", 3, ResultKind::Events, build_peak_detector, true},
}};

bool same_name(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::ranges::equal(a, b, {}, lower, lower);
}

}  // namespace

const SignalFunction* find_signal_function(std::string_view name) {
  const auto found = std::ranges::find_if(kFunctions, [&](const SignalFunction& f) { return same_name(f.name, name); });
  return found == kFunctions.end() ? nullptr : &*found;
}

std::span<const SignalFunction> signal_functions() { return kFunctions; }

}  // namespace korvel::signal
