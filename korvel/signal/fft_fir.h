// SPDX-License-Identifier: MIT
// Centred FIR filter (no delay) by FFT overlap-save, for kernels long enough that direct
// convolution costs more than two real FFTs per block.
//
// Output blocks start at multiples of block() from the start of the record, not at push
// boundaries, so each block is transformed from the same input whatever pieces the record
// arrived in and streamed output equals one-pass output exactly. The price is latency: an
// output sample is emitted with its block.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include <kissfft/kiss_fftr.h>

#include "korvel/signal/centred_history.h"
#include "korvel/signal/stage.h"

namespace korvel::signal {

class FftFirStage final : public SampleStage {
 public:
  // `kernel` has odd length L, centred on tap (L-1)/2. `fft_size` is even and larger than
  // L - 1; each transform yields fft_size - (L - 1) output samples.
  FftFirStage(std::span<const float> kernel, std::size_t fft_size);

  void push(std::span<const float> input, std::vector<float>& output) override;
  void finish(std::vector<float>& output) override;
  // The kernel's half length plus the rest of the block an output sample belongs to.
  std::size_t latency() const override { return history_.reach() + block_ - 1; }

  std::size_t block() const { return block_; }

 private:
  struct FftFree {
    void operator()(kiss_fftr_state* cfg) const { kiss_fftr_free(cfg); }
  };
  using FftPlan = std::unique_ptr<kiss_fftr_state, FftFree>;

  void emit_blocks(std::vector<float>& output);
  // Filters one segment of fft_size inputs and appends its first `count` valid outputs.
  void filter_segment(const float* segment, std::size_t count, std::vector<float>& output);

  std::size_t fft_size_;
  std::size_t block_;
  CentredHistory history_;
  FftPlan forward_;
  FftPlan inverse_;
  std::vector<kiss_fft_cpx> kernel_spectrum_;  // scaled by 1/fft_size for the inverse
  std::vector<kiss_fft_cpx> spectrum_;
  std::vector<float> result_;
  std::vector<float> padded_;
};

}  // namespace korvel::signal
