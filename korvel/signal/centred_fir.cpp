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

// Eight lanes: one 256-bit register where the CPU has them (the AVX2 clone below, picked at
// load time), two 128-bit ones on the x86-64 baseline. Each lane is one output, so the
// width never changes an output's sequence of operations.
using Lanes = float __attribute__((vector_size(32)));
constexpr std::size_t kLanes = 8;

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KORVEL_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define KORVEL_VECTOR_CLONES
#endif

// Eight floats read where they lie, with no alignment assumed: a vector type with its
// alignment lowered is not honoured by every compiler (clang reads it with aligned loads).
// Always inlined, so no vector is ever passed between functions; GCC's note that the
// baseline ABI returns it differently from the AVX2 one (at every call in the block
// filter below) therefore does not apply.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
[[gnu::always_inline]] inline Lanes load(const float* p) {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// kBlock outputs of the kernel `taps` (of `symmetry`) around `centre`, the input sample of
// the first output. Thirty-two outputs at a time run through all taps, their sums held in
// four vectors (the compiler's vector extension: no intrinsics).
KORVEL_VECTOR_CLONES
void filter_block(const float* centre, const std::vector<float>& taps, KernelSymmetry symmetry, float* out) {
  for (std::size_t strip = 0; strip < kBlock; strip += 4 * kLanes) {
    const float* c = centre + strip;
    Lanes a0{}, a1{}, a2{}, a3{};
    if (symmetry == KernelSymmetry::Even) {
      const float h = taps[0];
      a0 = h * load(c);
      a1 = h * load(c + kLanes);
      a2 = h * load(c + 2 * kLanes);
      a3 = h * load(c + 3 * kLanes);
      for (std::size_t k = 1; k < taps.size(); ++k) {
        const float g = taps[k];
        const float* before = c - k;
        const float* after = c + k;
        a0 += g * (load(before) + load(after));
        a1 += g * (load(before + kLanes) + load(after + kLanes));
        a2 += g * (load(before + 2 * kLanes) + load(after + 2 * kLanes));
        a3 += g * (load(before + 3 * kLanes) + load(after + 3 * kLanes));
      }
    } else {
      for (std::size_t j = 0; j < taps.size(); ++j) {
        const float g = taps[j];
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
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

std::size_t reach_of(const std::vector<float>& taps, KernelSymmetry symmetry) {
  if (taps.empty()) throw std::invalid_argument("centred FIR needs at least one tap");
  return symmetry == KernelSymmetry::Even ? taps.size() - 1 : 2 * taps.size() - 1;
}

}  // namespace

CentredFirStage::CentredFirStage(std::vector<float> taps, KernelSymmetry symmetry)
    : taps_(std::move(taps)), symmetry_(symmetry), history_(reach_of(taps_, symmetry_)) {}

// `x` points at the input sample `reach` before the block's first output.
void CentredFirStage::compute_block(const float* x, float* out) const {
  filter_block(x + history_.reach(), taps_, symmetry_, out);
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
