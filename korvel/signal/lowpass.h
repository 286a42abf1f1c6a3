// SPDX-License-Identifier: MIT
// lowpass(x, fc): linear-phase low-pass FIR, centred so the output has no delay.
//
// Design: windowed sinc with a Blackman window, L = ceil(5.5 fs / fc) taps made odd,
// normalised to unit DC gain. The Blackman window keeps the stop band below about -74 dB;
// its transition band, about 5.5 fs / L = fc wide, is centred on fc, so the response is
// -6 dB at fc and the stop band starts near 1.5 fc. Ringing around a QRS would move the
// fiducial point more than a soft edge does.
//
// A cut-off at or above fs / 2 leaves nothing to remove: the stage passes x through.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "korvel/signal/stage.h"

namespace korvel::signal {

// Taps of the low-pass kernel, L = ceil(5.5 fs / fc) made odd (the design above);
// 0 when fc >= fs / 2 (pass-through).
std::size_t lowpass_length(double cutoff_hz, double sample_rate_hz);

// The kernel of lowpass_length() taps, centred on its middle tap, summing to 1.
std::vector<float> lowpass_kernel(double cutoff_hz, double sample_rate_hz);

// The streaming filter: direct form for short kernels, FFT overlap-save for long ones,
// a pass-through when the kernel is empty.
std::unique_ptr<SampleStage> lowpass_stage(std::vector<float> kernel);

}  // namespace korvel::signal
