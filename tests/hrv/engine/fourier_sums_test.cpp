// SPDX-License-Identifier: MIT
#include "hrv/engine/fourier_sums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace HRV {
namespace {

// The sums S_k = Σ w·e^{2πi·k·u} term by term, in long double.
std::vector<std::complex<long double>> direct(const std::vector<double>& turns, const std::vector<std::complex<double>>& w,
                                              std::size_t K) {
  std::vector<std::complex<long double>> s(2 * K + 1);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const long double k = static_cast<long double>(i) - static_cast<long double>(K);
    for (std::size_t j = 0; j < turns.size(); ++j) {
      const long double u = turns[j] - std::floor(static_cast<long double>(turns[j]));
      const long double angle = 2 * std::numbers::pi_v<long double> * k * u;
      s[i] += std::complex<long double>(w[j].real(), w[j].imag()) * std::complex<long double>(std::cos(angle), std::sin(angle));
    }
  }
  return s;
}

// Phases anywhere (negative, far from 0, a hair below a whole turn, exactly on the grid)
// and sizes from no frequency but 0 to the grid of a long spectrum: every sum within
// 1e-13 of Σ|w| of the direct one. A point spread to the wrong grid slots, a Gaussian cut
// too early or a wrong deconvolution leaves errors of 1e-6 or more.
TEST(FourierSums, AgreeWithTheDirectSumsWhereverThePhasesLie) {
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> anywhere(-50.0, 50.0), part(-1.0, 1.0);
  for (const std::size_t K : {0u, 1u, 40u, 1000u}) {
    std::vector<double> turns{0.0, 1.0 - 1e-17, -1e-20, 0.25, 12.5, -3.0};
    while (turns.size() < 400) turns.push_back(anywhere(gen));
    std::vector<std::complex<double>> w;
    double total = 0.0;
    for (std::size_t j = 0; j < turns.size(); ++j) {
      w.emplace_back(part(gen), part(gen));
      total += std::abs(w.back());
    }
    const auto fast = fourier_sums(turns, w, K);
    const auto slow = direct(turns, w, K);
    ASSERT_EQ(fast.size(), slow.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < fast.size(); ++i)
      worst = std::max(worst, static_cast<double>(std::abs(std::complex<long double>(fast[i].real(), fast[i].imag()) - slow[i])));
    EXPECT_LE(worst, 1e-13 * total) << "K = " << K;
  }
}

}  // namespace
}  // namespace HRV
