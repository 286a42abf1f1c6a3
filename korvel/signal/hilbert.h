// SPDX-License-Identifier: MIT
// resample(x, 1, 1, 1, N, 0, 2): Hilbert transformer, centred so the output is aligned
// with x (the transform of cos is sin, of sin is -cos).
//
// Kernel: N taps made odd, M = (N-1)/2, g[k] = (2 / (pi k)) (0.54 + 0.46 cos(pi k / M)) for
// odd k in -M..M, zero for even k: the ideal transformer under a Hamming window. Only the
// odd taps are stored and, as g is odd, each is applied to x[n-k] - x[n+k]: N/4
// multiplications per sample.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "korvel/signal/stage.h"

namespace korvel::signal {

// g[1], g[3], ... g[K] for the largest odd K <= M, N >= 3.
std::vector<float> hilbert_odd_taps(std::size_t taps);

std::unique_ptr<SampleStage> hilbert_stage(std::size_t taps);

}  // namespace korvel::signal
