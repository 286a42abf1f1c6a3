// SPDX-License-Identifier: MIT
#include "korvel/signal/centred_fir.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace korvel::signal {
namespace {

// Outputs computed together. A fixed count lets the compiler vectorise across outputs
// without changing any single output's arithmetic.
constexpr std::size_t kBlock = 64;
// Input taken per step, so the history stays bounded whatever the caller pushes.
constexpr std::size_t kPiece = 16 * kBlock;

std::size_t reach_of(const std::vector<float>& taps, KernelSymmetry symmetry) {
  if (taps.empty()) throw std::invalid_argument("centred FIR needs at least one tap");
  return symmetry == KernelSymmetry::Even ? taps.size() - 1 : 2 * taps.size() - 1;
}

}  // namespace

CentredFirStage::CentredFirStage(std::vector<float> taps, KernelSymmetry symmetry)
    : taps_(std::move(taps)), symmetry_(symmetry), history_(reach_of(taps_, symmetry_)) {}

// `x` points at the input sample `reach` before the block's first output.
void CentredFirStage::compute_block(const float* x, float* out) const {
  const std::size_t reach = history_.reach();
  const float* centre = x + reach;
  std::array<float, kBlock> acc{};
  if (symmetry_ == KernelSymmetry::Even) {
    for (std::size_t i = 0; i < kBlock; ++i) acc[i] = taps_[0] * centre[i];
    for (std::size_t k = 1; k < taps_.size(); ++k) {
      const float h = taps_[k];
      const float* before = centre - k;
      const float* after = centre + k;
      for (std::size_t i = 0; i < kBlock; ++i) acc[i] += h * (before[i] + after[i]);
    }
  } else {
    for (std::size_t j = 0; j < taps_.size(); ++j) {
      const float g = taps_[j];
      const float* before = centre - (2 * j + 1);
      const float* after = centre + (2 * j + 1);
      for (std::size_t i = 0; i < kBlock; ++i) acc[i] += g * (before[i] - after[i]);
    }
  }
  std::copy(acc.begin(), acc.end(), out);
}

void CentredFirStage::emit(std::vector<float>& output) {
  const std::size_t ready = history_.ready();
  const std::size_t full = ready / kBlock * kBlock;
  const std::size_t first = output.size();
  output.resize(first + ready);
  for (std::size_t done = 0; done < full; done += kBlock) {
    compute_block(history_.window() + done, output.data() + first + done);
  }
  // The outputs that do not fill a block: compute a whole block over a zero-padded copy of
  // their neighbourhoods and keep those outputs, so none waits for later input.
  if (const std::size_t rest = ready - full; rest > 0) {
    const std::size_t reach = history_.reach();
    tail_.assign(kBlock + 2 * reach, 0.0f);
    std::copy_n(history_.window() + full, rest + 2 * reach, tail_.begin());
    std::array<float, kBlock> block{};
    compute_block(tail_.data(), block.data());
    std::copy_n(block.begin(), rest, output.begin() + static_cast<std::ptrdiff_t>(first + full));
  }
  history_.advance(ready);
}

void CentredFirStage::push(std::span<const float> input, std::vector<float>& output) {
  while (!input.empty()) {
    input = input.subspan(history_.take(input, kPiece));
    emit(output);
  }
}

void CentredFirStage::finish(std::vector<float>& output) {
  history_.close();
  emit(output);
}

}  // namespace korvel::signal
