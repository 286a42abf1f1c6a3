// SPDX-License-Identifier: MIT
#include "korvel/io/plausible_values.h"

#include <charconv>
#include <cmath>

#include "korvel/io/file_access.h"

namespace korvel::io {
namespace {

std::string number_text(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace

std::string sampling_rate_problem(double hz) {
  if (hz >= kMinSamplingRateHz && hz <= kMaxSamplingRateHz) return {};
  return number_text(hz) + " Hz is outside 0.1 Hz to 1 MHz";
}

void check_sampling_rate(const std::filesystem::path& file, std::string_view what, double hz) {
  if (const std::string problem = sampling_rate_problem(hz); !problem.empty())
    fail(file, std::string(what) + ": " + problem + ", the sampling rates this tool analyses");
}

std::string gain_problem(double gain) {
  const double size = std::abs(gain);
  if (size >= 1e-6 && size <= 1e9) return {};
  return number_text(gain) + " is outside 1e-6 to 1e9 ADC units per physical unit";
}

}  // namespace korvel::io
