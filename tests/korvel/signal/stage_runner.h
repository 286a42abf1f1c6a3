// SPDX-License-Identifier: MIT
// Drives a stage over a whole record in one push, or in random pieces while checking the
// latency contract after every push.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "korvel/signal/stage.h"

namespace korvel::signal::testing {

inline std::vector<float> run_whole(SampleStage& stage, std::span<const float> input) {
  std::vector<float> output;
  stage.push(input, output);
  stage.finish(output);
  return output;
}

inline std::vector<std::int64_t> run_whole(EventStage& stage, std::span<const float> input) {
  std::vector<std::int64_t> events;
  stage.push(input, events);
  stage.finish(events);
  return events;
}

// Pieces of 0 to max_piece samples, so empty pushes and single samples occur too.
inline std::vector<float> run_in_pieces(SampleStage& stage, std::span<const float> input,
                                        std::uint32_t seed, std::size_t max_piece) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> piece(0, max_piece);
  std::vector<float> output;
  std::size_t consumed = 0;
  while (consumed < input.size()) {
    const std::size_t count = std::min(piece(rng), input.size() - consumed);
    stage.push(input.subspan(consumed, count), output);
    consumed += count;
    const std::size_t due = consumed > stage.latency() ? consumed - stage.latency() : 0;
    EXPECT_GE(output.size(), due) << "output lags more than latency() after " << consumed << " samples";
    EXPECT_LE(output.size(), consumed) << "output ahead of input after " << consumed << " samples";
  }
  stage.finish(output);
  return output;
}

inline std::vector<std::int64_t> run_in_pieces(EventStage& stage, std::span<const float> input,
                                               std::uint32_t seed, std::size_t max_piece) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::size_t> piece(0, max_piece);
  std::vector<std::int64_t> events;
  std::size_t consumed = 0;
  while (consumed < input.size()) {
    const std::size_t count = std::min(piece(rng), input.size() - consumed);
    const std::size_t before = events.size();
    const auto settled_before = static_cast<std::int64_t>(consumed) - static_cast<std::int64_t>(stage.latency());
    stage.push(input.subspan(consumed, count), events);
    consumed += count;
    for (std::size_t i = before; i < events.size(); ++i) {
      EXPECT_GT(events[i], settled_before) << "event emitted later than latency() allows, at " << consumed;
    }
  }
  const std::size_t before = events.size();
  const auto settled_before = static_cast<std::int64_t>(consumed) - static_cast<std::int64_t>(stage.latency());
  stage.finish(events);
  for (std::size_t i = before; i < events.size(); ++i) {
    EXPECT_GT(events[i], settled_before) << "event held back until finish()";
  }
  return events;
}

// Samples beyond the record repeat the edge sample.
inline double at_clamped(std::span<const float> x, std::int64_t i) {
  const auto last = static_cast<std::int64_t>(x.size()) - 1;
  return x[static_cast<std::size_t>(std::clamp<std::int64_t>(i, 0, last))];
}

}  // namespace korvel::signal::testing
