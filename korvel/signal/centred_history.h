// SPDX-License-Identifier: MIT
// Input history of a centred FIR-like stage: output sample n depends on the input samples
// n - reach .. n + reach, and samples beyond the record's edges repeat the edge sample.
//
// The history keeps only what the outputs still to come need, so its size is bounded by
// 2 * reach plus the largest piece appended at once; stages append their input in pieces
// of bounded size (take()) and compute outputs between the pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace korvel::signal {

class CentredHistory {
 public:
  explicit CentredHistory(std::size_t reach) : reach_(reach) {}

  std::size_t reach() const { return reach_; }

  // Appends up to `limit` samples from the front of `input` and returns how many it took.
  // The first sample of the record also stands for the `reach` samples before the record.
  std::size_t take(std::span<const float> input, std::size_t limit);

  // The record is complete: appends `reach` repeats of its last sample (nothing for an
  // empty record). Further appends are an error of the caller.
  void close();

  // Outputs whose whole neighbourhood is present.
  std::size_t ready() const;
  // Input sample (next_output() - reach); the neighbourhoods of the ready outputs follow it
  // contiguously, ready() + 2 * reach samples in all.
  const float* window() const { return data_.data() + begin_; }
  // Index of the next output sample from the start of the record.
  std::int64_t next_output() const { return next_output_; }
  // The next `count` outputs (at most ready()) are done; drops samples no longer needed.
  void advance(std::size_t count);

  bool started() const { return started_; }

 private:
  std::size_t reach_;
  std::vector<float> data_;
  std::size_t begin_ = 0;
  std::int64_t next_output_ = 0;
  bool started_ = false;
};

}  // namespace korvel::signal
