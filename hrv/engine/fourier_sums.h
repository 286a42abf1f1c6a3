// SPDX-License-Identifier: MIT
// Trigonometric sums over unevenly spaced points, for a whole range of whole frequencies at
// once: S_k = Σ_j w_j·exp(2πi·k·u_j) for k = -K..K, where u_j is point j's phase in turns.
// Summed directly this costs one sine and cosine per point and frequency; here each point's
// weight is spread onto an even grid through a Gaussian, the grid goes through an FFT, and
// each frequency is divided by the Gaussian's own Fourier coefficient (Gaussian gridding,
// the type-1 non-uniform FFT). The cost is about 32 grid updates per point plus an FFT of
// about 8·K values, whatever K is.
#pragma once

#include <complex>
#include <span>
#include <vector>

namespace HRV {

// The sums S_{-K} .. S_K, in that order (S_k at index k + K). The phases may be any
// finite numbers; only their fractional part matters. Each sum is within about 1e-13 of
// Σ|w_j| of the exact one (the Gaussian is cut where it is below 1e-16 and sampled
// finely enough that its aliases stay below that), which rounding of the phases themselves
// usually exceeds.
std::vector<std::complex<double>> fourier_sums(std::span<const double> turns,
                                               std::span<const std::complex<double>> weights, std::size_t K);

}  // namespace HRV
