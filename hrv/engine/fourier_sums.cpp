// SPDX-License-Identifier: MIT
#include "fourier_sums.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace HRV {

namespace {

constexpr double kPi = std::numbers::pi;

// Grid steps that a point's Gaussian reaches on either side. With an oversampling R ≥ 2
// (grid points per frequency) and the Gaussian's width tied to the reach as below, the
// Gaussian is exp(-π·kReach·(R - ½)/R) ≤ 4e-17 where it is cut, and the frequencies that
// alias into the band are exp(-π·kReach·(R - 1)/(R - ½)) ≤ 3e-15 down. The division by the
// Gaussian's spectrum amplifies what is left by at most exp(π·kReach/(4·R·(R - ½))) ≈ 66
// at the band's edges.
constexpr int kReach = 16;
constexpr int kWidth = 2 * kReach;

// One clone of the spreading loop for CPUs with 256-bit vectors, picked at load time; the
// default clone is the baseline instruction set, so the library runs on any x86-64.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define HRV_VECTOR_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define HRV_VECTOR_CLONES
#endif

// (a + ib)(c + id) written out: std::complex's operator* checks for infinities and NaNs on
// every product, which costs more than the product.
std::complex<double> times(std::complex<double> x, std::complex<double> y) noexcept {
  return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

// In place, X_k = Σ_m x_m·exp(-2πi·k·m/N) for a power-of-two N: radix 2, decimation in
// time. Each twiddle factor is its own sine and cosine, not a recurrence, so the transform
// adds only a few ulps per stage.
void fft(std::vector<std::complex<double>>& x) {
  const std::size_t n = x.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {  // bit-reversed order
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  std::vector<std::complex<double>> twiddle(n / 2);
  for (std::size_t i = 0; i < n / 2; ++i) {
    const double angle = -2.0 * kPi * static_cast<double>(i) / static_cast<double>(n);
    twiddle[i] = {std::cos(angle), std::sin(angle)};
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const std::size_t half = length / 2, stride = n / length;
    for (std::size_t start = 0; start < n; start += length) {
      for (std::size_t k = 0; k < half; ++k) {
        const std::complex<double> odd = times(twiddle[k * stride], x[start + k + half]);
        x[start + k + half] = x[start + k] - odd;
        x[start + k] += odd;
      }
    }
  }
}

// Adds every point's weight, times the Gaussian exp(-a·(g - p)²) of its distance from grid
// point g, to the grid points g within kReach of its place p = u·grid. Slot b of the
// arrays stands for grid point b - (kReach - 1) modulo the grid.
HRV_VECTOR_CLONES
void spread(std::span<const double> turns, std::span<const std::complex<double>> weights, std::size_t grid, double a,
            double* re, double* im) {
  double e3[kWidth];  // exp(-a·l²) for the offsets l = -(kReach - 1) .. kReach
  for (int i = 0; i < kWidth; ++i) {
    const double l = i - (kReach - 1);
    e3[i] = std::exp(-a * l * l);
  }
  for (std::size_t j = 0; j < turns.size(); ++j) {
    const double u = turns[j] - std::floor(turns[j]);  // [0, 1]
    const double p = u * static_cast<double>(grid);
    const double m = std::floor(p);
    const double d = p - m;  // [0, 1)
    // exp(-a·(l - d)²) = exp(-a·d² + 2·a·d·l)·exp(-a·l²): two exponentials per point, and
    // the powers of exp(2·a·d) by products (four chains of eight, about 10 ulps at most).
    const double step = std::exp(2.0 * a * d);
    double power[kWidth];
    power[0] = std::exp(-a * d * d - 2.0 * a * d * (kReach - 1));
    for (int i = 1; i < 4; ++i) power[i] = power[i - 1] * step;
    const double step4 = (step * step) * (step * step);
    for (int i = 4; i < kWidth; ++i) power[i] = power[i - 4] * step4;
    double* __restrict r = re + static_cast<std::size_t>(m);
    double* __restrict q = im + static_cast<std::size_t>(m);
    const double wr = weights[j].real(), wi = weights[j].imag();
    for (int i = 0; i < kWidth; ++i) {
      const double g = power[i] * e3[i];
      r[i] += wr * g;
      q[i] += wi * g;
    }
  }
}

}  // namespace

std::vector<std::complex<double>> fourier_sums(std::span<const double> turns,
                                               std::span<const std::complex<double>> weights, std::size_t K) {
  const std::size_t n = std::min(turns.size(), weights.size());
  const std::size_t modes = 2 * K + 1;
  const std::size_t grid = std::bit_ceil(std::max<std::size_t>(2 * modes, 2 * kWidth));
  const double R = static_cast<double>(grid) / static_cast<double>(modes);
  // The Gaussian exp(-x²/(4τ)) over the phase x in radians (Greengard and Lee's choice of
  // τ for a reach of kReach grid steps), and a, its exponent per squared grid step.
  const double tau = kPi * kReach / (static_cast<double>(modes) * static_cast<double>(modes) * R * (R - 0.5));
  const double a = kPi * kPi / (static_cast<double>(grid) * static_cast<double>(grid) * tau);

  std::vector<double> re(grid + kWidth), im(grid + kWidth);
  spread(turns.first(n), weights.first(n), grid, a, re.data(), im.data());
  std::vector<std::complex<double>> x(grid);
  for (std::size_t b = 0; b < re.size(); ++b) x[(b + grid - (kReach - 1)) % grid] += std::complex<double>(re[b], im[b]);
  fft(x);

  // The grid's transform at k is grid·G_k·Σ_j w_j·exp(-ik·x_j), G_k = sqrt(τ/π)·exp(-k²τ)
  // being the periodic Gaussian's Fourier coefficient; S_k is that sum at -k.
  std::vector<std::complex<double>> sums(modes);
  const double scale = std::sqrt(kPi / tau) / static_cast<double>(grid);
  for (std::size_t i = 0; i < modes; ++i) {
    const auto k = static_cast<std::int64_t>(i) - static_cast<std::int64_t>(K);
    const auto slot = static_cast<std::size_t>((-k + static_cast<std::int64_t>(grid)) % static_cast<std::int64_t>(grid));
    sums[i] = x[slot] * (scale * std::exp(static_cast<double>(k * k) * tau));
  }
  return sums;
}

}  // namespace HRV
