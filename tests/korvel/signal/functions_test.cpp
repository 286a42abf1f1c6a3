// SPDX-License-Identifier: MIT
#include "korvel/signal/functions.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::signal {
namespace {

// The message names the function and the argument, and says what is wrong.
TEST(SignalFunctions, RejectsWrongArgumentsNamingFunctionArgumentAndProblem) {
  struct Case {
    const char* name;  // as the expression spells it: without regard to case
    std::vector<double> args;
    double dt;
    std::string expected;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const std::string hilbert_only = ": only the Hilbert transformer resample(x,1,1,1,N,0,2) is supported, got ";
  const Case cases[] = {
      {"lowpass", {30, 1}, 1e-3, "lowpass takes 2 arguments (signal, cut-off Hz), got 3"},
      {"lowpass", {0}, 1e-3, "lowpass: argument 2 (cut-off frequency in Hz) must be greater than 0, got 0"},
      {"lowpass", {0.001}, 1e-3,
       "lowpass: argument 2 (cut-off frequency in Hz) is too low for the sample rate of 1000 Hz (the filter would need more than "
       "1000001 taps), got 0.001"},
      {"lowpass", {30}, 0, "lowpass: the sample interval must be a positive number of seconds, got 0"},
      {"differentiate", {5}, 1e-3, "differentiate: argument 2 (number of points) must be 3, got 5"},
      {"resample", {1, 1, 1, 160, 0, 1}, 1e-3, "resample: argument 7 (kernel) must be 2" + hilbert_only + "1"},
      {"resample", {2, 1, 1, 160, 0, 2}, 1e-3, "resample: argument 2 (up-sampling factor) must be 1" + hilbert_only + "2"},
      {"resample", {1, 1, 1, 2, 0, 2}, 1e-3, "resample: argument 5 (taps) must be a whole number from 3 to 1000001, got 2"},
      {"resample", {1, 1, 1, 20.5, 0, 2}, 1e-3, "resample: argument 5 (taps) must be a whole number from 3 to 1000001, got 20.5"},
      {"normalizeSec", {-1, 0, 0}, 1e-3, "normalizeSec: argument 2 (window in s) must be greater than 0, got -1"},
      {"normalizeSec", {5, 6, 0}, 1e-3, "normalizeSec: argument 3 (look-ahead in s) must be from 0 to the window length 5, got 6"},
      {"normalizeSec", {5, 2.5, -0.1}, 1e-3, "normalizeSec: argument 4 (noise) must be 0 or more, got -0.1"},
      {"CmPeakDet", {inf, 0.3, 30}, 1e-3, "cmpeakdet: argument 2 (minimum height) must be a finite number, got inf"},
      {"CmPeakDet", {3, -0.3, 30}, 1e-3, "cmpeakdet: argument 3 (minimum period in s) must be from 0 to 16000 at 1000 Hz, got -0.3"},
      {"CmPeakDet", {3, 0.3}, 1e-3, "cmpeakdet takes 4 arguments (signal, minimum height, minimum period s, reserved), got 3"},
  };
  for (const Case& c : cases) {
    const SignalFunction* function = find_signal_function(c.name);
    ASSERT_NE(function, nullptr) << c.name;
    try {
      function->make(c.args, c.dt);
      ADD_FAILURE() << "no exception; expected: " << c.expected;
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ(std::string(error.what()), c.expected);
    }
  }
}

}  // namespace
}  // namespace korvel::signal
