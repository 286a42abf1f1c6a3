// SPDX-License-Identifier: MIT
// Streaming form of the expression language's signal functions.
//
// A stage consumes its input in blocks of any size, in order, and emits output as soon as
// it is final. Output is produced in order and never revised, so evaluating a record in
// one pass or in pieces while it grows gives the same samples. `latency()` declares how
// far the final output lags the input while the record grows (the look-ahead the function
// needs); `finish()` is called once the record is complete and emits the rest, treating
// samples beyond the record's edges as repeats of the edge sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace korvel::signal {

// Sampled input to sampled output, one output sample per input sample.
class SampleStage {
 public:
  virtual ~SampleStage() = default;
  // Consumes `input`; appends to `output` every output sample that became final.
  virtual void push(std::span<const float> input, std::vector<float>& output) = 0;
  // The input is complete: appends the remaining output samples.
  virtual void finish(std::vector<float>& output) = 0;
  // Samples of input needed beyond an output sample before it is final.
  virtual std::size_t latency() const = 0;
};

// Sampled input to events (sample indexes from the start of the record, increasing).
class EventStage {
 public:
  virtual ~EventStage() = default;
  virtual void push(std::span<const float> input, std::vector<std::int64_t>& events) = 0;
  virtual void finish(std::vector<std::int64_t>& events) = 0;
  // Events up to (input consumed − latency()) are final once pushed.
  virtual std::size_t latency() const = 0;
};

}  // namespace korvel::signal
