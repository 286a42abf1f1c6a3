// SPDX-License-Identifier: MIT
// Drives a stage over a whole record in one push, or in random pieces while checking the
// latency contract after every push.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <type_traits>
#include <vector>

#include "korvel/signal/stage.h"

namespace korvel::signal::testing {

// What a stage writes: samples or event ticks.
template <class Stage>
using Output = std::conditional_t<std::is_base_of_v<SampleStage, Stage>, float, std::int64_t>;

template <class Stage>
std::vector<Output<Stage>> run_whole(Stage& stage, std::span<const float> input) {
  std::vector<Output<Stage>> output;
  stage.push(input, output);
  stage.finish(output);
  return output;
}

// Pieces of 0 to max_piece samples, so empty pushes and single samples occur too. Samples
// may lag the input by at most latency() and never lead it; an event comes no later than
// latency() after its tick, also at finish().
template <class Stage>
std::vector<Output<Stage>> run_in_pieces(Stage& stage, std::span<const float> input, std::uint32_t seed, std::size_t max_piece) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> piece(0, max_piece);
  std::vector<Output<Stage>> output;
  auto check_events_since = [&](std::size_t before, std::size_t consumed) {
    const auto settled = static_cast<std::int64_t>(consumed) - static_cast<std::int64_t>(stage.latency());
    for (std::size_t i = before; i < output.size(); ++i) EXPECT_GT(output[i], settled) << "event late after " << consumed << " samples";
  };
  std::size_t consumed = 0;
  while (consumed < input.size()) {
    const std::size_t count = std::min(piece(rng), input.size() - consumed), before = output.size(), consumed_before = consumed;
    stage.push(input.subspan(consumed, count), output);
    consumed += count;
    if constexpr (std::is_same_v<Output<Stage>, float>) {
      EXPECT_GE(output.size() + stage.latency(), consumed) << "output lags more than latency() after " << consumed << " samples";
      EXPECT_LE(output.size(), consumed) << "output ahead of input after " << consumed << " samples";
    } else {
      check_events_since(before, consumed_before);
    }
  }
  const std::size_t before = output.size();
  stage.finish(output);
  if constexpr (!std::is_same_v<Output<Stage>, float>) check_events_since(before, consumed);
  return output;
}

// Samples beyond the record repeat the edge sample.
inline double at_clamped(std::span<const float> x, std::int64_t i) {
  return x[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, static_cast<std::int64_t>(x.size()) - 1))];
}

}  // namespace korvel::signal::testing
