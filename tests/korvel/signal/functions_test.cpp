// SPDX-License-Identifier: MIT
#include "korvel/signal/functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::signal {
namespace {

TEST(SignalFunctions, FindsEachFunctionCaseInsensitivelyWithItsArityAndKind) {
  struct Row {
    const char* spelling;
    std::string_view name;
    std::size_t arity;
    ResultKind kind;
  };
  for (const Row& row : {Row{"LOWPASS", "lowpass", 1, ResultKind::Sampled},
                         Row{"Differentiate", "differentiate", 1, ResultKind::Sampled},
                         Row{"resample", "resample", 6, ResultKind::Sampled},
                         Row{"normalizesec", "normalizeSec", 3, ResultKind::Sampled},
                         Row{"CmPeakDet", "cmpeakdet", 3, ResultKind::Events}}) {
    SCOPED_TRACE(row.spelling);
    const SignalFunction* function = find_signal_function(row.spelling);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function->name, row.name);
    EXPECT_EQ(function->numeric_arity, row.arity);
    EXPECT_EQ(function->result, row.kind);
  }
  EXPECT_EQ(find_signal_function("lowpas"), nullptr);
  EXPECT_EQ(find_signal_function("lowpass2"), nullptr);
  EXPECT_EQ(find_signal_function(""), nullptr);
  EXPECT_EQ(signal_functions().size(), 5u);
}

TEST(SignalFunctions, BuildsTheStageOfTheDeclaredKindFromTheDetectorsArguments) {
  struct Row {
    const char* name;
    std::vector<double> args;
  };
  for (const Row& row : {Row{"lowpass", {30}}, Row{"differentiate", {3}}, Row{"resample", {1, 1, 1, 160, 0, 2}},
                         Row{"normalizeSec", {5, 2.5, 0}}, Row{"cmpeakdet", {3, 0.3, 30}}}) {
    SCOPED_TRACE(row.name);
    const SignalFunction* function = find_signal_function(row.name);
    ASSERT_NE(function, nullptr);
    const Stage stage = function->make(row.args, 0.001);
    EXPECT_EQ(stage.sampled != nullptr, function->result == ResultKind::Sampled);
    EXPECT_EQ(stage.events != nullptr, function->result == ResultKind::Events);
  }
}

// The message names the function and the argument, and says what is wrong.
void expect_rejected(const char* name, std::vector<double> args, double dt, const std::string& expected) {
  SCOPED_TRACE(::testing::Message() << name << " expecting: " << expected);
  const SignalFunction* function = find_signal_function(name);
  ASSERT_NE(function, nullptr);
  try {
    function->make(args, dt);
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& error) {
    EXPECT_EQ(std::string(error.what()), expected);
  }
}

TEST(SignalFunctions, RejectsWrongArgumentsNamingFunctionArgumentAndProblem) {
  const double inf = std::numeric_limits<double>::infinity();
  expect_rejected("lowpass", {30, 1}, 1e-3, "lowpass takes 2 arguments (signal, cut-off Hz), got 3");
  expect_rejected("lowpass", {0}, 1e-3, "lowpass: argument 2 (cut-off frequency in Hz) must be greater than 0, got 0");
  expect_rejected("lowpass", {0.001}, 1e-3,
                  "lowpass: argument 2 (cut-off frequency in Hz) is too low for the sample rate of 1000 Hz "
                  "(the filter would need more than 1000001 taps), got 0.001");
  expect_rejected("lowpass", {30}, 0, "lowpass: the sample interval must be a positive number of seconds, got 0");
  expect_rejected("differentiate", {5}, 1e-3, "differentiate: argument 2 (number of points) must be 3, got 5");
  expect_rejected("resample", {1, 1, 1, 160, 0, 1}, 1e-3,
                  "resample: argument 7 (kernel) must be 2: only the Hilbert transformer "
                  "resample(x,1,1,1,N,0,2) is supported, got 1");
  expect_rejected("resample", {2, 1, 1, 160, 0, 2}, 1e-3,
                  "resample: argument 2 (up-sampling factor) must be 1: only the Hilbert transformer "
                  "resample(x,1,1,1,N,0,2) is supported, got 2");
  expect_rejected("resample", {1, 1, 1, 2, 0, 2}, 1e-3,
                  "resample: argument 5 (taps) must be a whole number from 3 to 1000001, got 2");
  expect_rejected("resample", {1, 1, 1, 20.5, 0, 2}, 1e-3,
                  "resample: argument 5 (taps) must be a whole number from 3 to 1000001, got 20.5");
  expect_rejected("normalizeSec", {-1, 0, 0}, 1e-3,
                  "normalizeSec: argument 2 (window in s) must be greater than 0, got -1");
  expect_rejected("normalizeSec", {5, 6, 0}, 1e-3,
                  "normalizeSec: argument 3 (look-ahead in s) must be from 0 to the window length 5, got 6");
  expect_rejected("normalizeSec", {5, 2.5, -0.1}, 1e-3, "normalizeSec: argument 4 (noise) must be 0 or more, got -0.1");
  expect_rejected("cmpeakdet", {inf, 0.3, 30}, 1e-3, "cmpeakdet: argument 2 (minimum height) must be a finite number, got inf");
  expect_rejected("cmpeakdet", {3, -0.3, 30}, 1e-3,
                  "cmpeakdet: argument 3 (minimum period in s) must be from 0 to 16000 at 1000 Hz, got -0.3");
  expect_rejected("cmpeakdet", {3, 0.3}, 1e-3,
                  "cmpeakdet takes 4 arguments (signal, minimum height, minimum period s, reserved), got 3");
}

}  // namespace
}  // namespace korvel::signal
