// SPDX-License-Identifier: MIT
// The ranges a recording's sampling rate and gain must lie in, whichever file or option
// they come from: outside them the ticks and values the analysis works on are meaningless
// (a beat more than 2^31 ticks long, a sample of 1e300 signal units) or not numbers at all.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace korvel::io {

inline constexpr double kMinSamplingRateHz = 0.1;  // a sample every 10 s
inline constexpr double kMaxSamplingRateHz = 1e6;  // the finest clock beats are placed on

// "outside 0.1 Hz to 1 MHz" when `hz` is no plausible sampling rate (NaN included);
// empty when it is.
std::string sampling_rate_problem(double hz);

// Fails naming the file and `what` ("sampling frequency", "variable fs", ...) when `hz` is
// no plausible sampling rate.
void check_sampling_rate(const std::filesystem::path& file, std::string_view what, double hz);

// "outside 1e-6 to 1e9 ADC units per physical unit" when the size of a gain lies outside
// that range (NaN included), where a stored sample would become an absurd value; empty
// when it is plausible.
std::string gain_problem(double gain);

}  // namespace korvel::io
