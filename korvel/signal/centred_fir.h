// SPDX-License-Identifier: MIT
// Direct-form centred FIR filters (no delay) for kernels with a symmetry to exploit:
// even kernels (linear-phase low-pass) and odd kernels whose even taps are zero (Hilbert
// transformer, central difference). Each output sample is computed by the same sequence
// of float operations wherever push boundaries fall, so streamed output equals one-pass
// output exactly.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "korvel/signal/centred_history.h"
#include "korvel/signal/stage.h"

namespace korvel::signal {

enum class KernelSymmetry {
  // taps[0] is the centre tap, taps[k] the tap at both -k and +k:
  // y[n] = taps[0] x[n] + sum_k taps[k] (x[n-k] + x[n+k]).
  Even,
  // taps[j] is the tap g at lag k = 2j+1, with g(-k) = -g(k) and zero taps at even lags:
  // y[n] = sum_j taps[j] (x[n-k] - x[n+k]).
  OddAntisymmetric,
};

class CentredFirStage final : public SampleStage {
 public:
  CentredFirStage(std::vector<float> taps, KernelSymmetry symmetry);

  void push(std::span<const float> input, std::vector<float>& output) override;
  void finish(std::vector<float>& output) override;
  std::size_t latency() const override { return history_.reach(); }

  // Index of the next output sample from the start of the record.
  std::int64_t next_output() const { return history_.next_output(); }

 private:
  void emit(std::vector<float>& output);
  void compute_block(const float* x, float* out) const;

  std::vector<float> taps_;
  KernelSymmetry symmetry_;
  CentredHistory history_;
  std::vector<float> tail_;  // zero-padded neighbourhoods of a partial block
};

}  // namespace korvel::signal
