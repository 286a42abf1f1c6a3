// SPDX-License-Identifier: MIT
#include "korvel/signal/differentiate.h"

#include "korvel/signal/centred_fir.h"

namespace korvel::signal {
namespace {

// The central difference with the edge repeated beyond the record gives half the
// one-sided difference at the first and the last sample; doubling those two makes it the
// one-sided difference.
class DifferentiateStage final : public SampleStage {
 public:
  explicit DifferentiateStage(double sample_rate_hz)
      : fir_({static_cast<float>(-sample_rate_hz / 2)}, KernelSymmetry::OddAntisymmetric) {}

  void push(std::span<const float> input, std::vector<float>& output) override {
    const std::size_t first = output.size();
    const bool at_start = fir_.next_output() == 0;
    fir_.push(input, output);
    if (at_start && output.size() > first) output[first] *= 2;
  }

  void finish(std::vector<float>& output) override {
    const std::size_t first = output.size();
    const bool at_start = fir_.next_output() == 0;
    fir_.finish(output);
    if (output.size() == first) return;  // empty record
    if (at_start) output[first] *= 2;
    output.back() *= 2;
  }

  std::size_t latency() const override { return fir_.latency(); }

 private:
  CentredFirStage fir_;
};

}  // namespace

std::unique_ptr<SampleStage> differentiate_stage(double sample_rate_hz) {
  return std::make_unique<DifferentiateStage>(sample_rate_hz);
}

}  // namespace korvel::signal
