// SPDX-License-Identifier: MIT
#include "korvel/signal/centred_fir.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace korvel::signal {
namespace {

// Outputs computed together. Each output's sum is formed in the same order whatever
// lane or block it falls in, so blocking never changes a result.
constexpr std::size_t kBlock = 64;
// Input taken per step, so the history stays bounded whatever the caller pushes.
constexpr std::size_t kPiece = 16 * kBlock;

using Lanes = float __attribute__((vector_size(16)));
constexpr std::size_t kLanes = 4;

inline Lanes load(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::size_t reach_of(const std::vector<float>& taps, KernelSymmetry symmetry) {
  if (taps.empty()) throw std::invalid_argument("centred FIR needs at least one tap");
  return symmetry == KernelSymmetry::Even ? taps.size() - 1 : 2 * taps.size() - 1;
}

}  // namespace

CentredFirStage::CentredFirStage(std::vector<float> taps, KernelSymmetry symmetry)
    : taps_(std::move(taps)), symmetry_(symmetry), history_(reach_of(taps_, symmetry_)) {}

// `x` points at the input sample `reach` before the block's first output. Sixteen
// outputs at a time run through all taps, their sums held in four registers of four
// lanes each (the compiler's vector extension: no intrinsics, no instruction-set flags).
void CentredFirStage::compute_block(const float* x, float* out) const {
  const float* centre = x + history_.reach();
  for (std::size_t strip = 0; strip < kBlock; strip += 4 * kLanes) {
    const float* c = centre + strip;
    Lanes a0{}, a1{}, a2{}, a3{};
    if (symmetry_ == KernelSymmetry::Even) {
      const float h = taps_[0];
      a0 = h * load(c);
      a1 = h * load(c + kLanes);
      a2 = h * load(c + 2 * kLanes);
      a3 = h * load(c + 3 * kLanes);
      for (std::size_t k = 1; k < taps_.size(); ++k) {
        const float g = taps_[k];
        const float* before = c - k;
        const float* after = c + k;
        a0 += g * (load(before) + load(after));
        a1 += g * (load(before + kLanes) + load(after + kLanes));
        a2 += g * (load(before + 2 * kLanes) + load(after + 2 * kLanes));
        a3 += g * (load(before + 3 * kLanes) + load(after + 3 * kLanes));
      }
    } else {
      for (std::size_t j = 0; j < taps_.size(); ++j) {
        const float g = taps_[j];
        const float* before = c - (2 * j + 1);
        const float* after = c + (2 * j + 1);
        a0 += g * (load(before) - load(after));
        a1 += g * (load(before + kLanes) - load(after + kLanes));
        a2 += g * (load(before + 2 * kLanes) - load(after + 2 * kLanes));
        a3 += g * (load(before + 3 * kLanes) - load(after + 3 * kLanes));
      }
    }
    float* o = out + strip;
    std::memcpy(o, &a0, sizeof a0);
    std::memcpy(o + kLanes, &a1, sizeof a1);
    std::memcpy(o + 2 * kLanes, &a2, sizeof a2);
    std::memcpy(o + 3 * kLanes, &a3, sizeof a3);
  }
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
