// SPDX-License-Identifier: MIT
#include "korvel/signal/hilbert.h"

#include <cmath>
#include <numbers>

#include "korvel/signal/centred_fir.h"

namespace korvel::signal {

std::vector<float> hilbert_odd_taps(std::size_t taps) {
  const std::size_t half = (taps | 1) / 2;  // M
  constexpr double pi = std::numbers::pi;
  std::vector<float> odd;
  for (std::size_t k = 1; k <= half; k += 2) {
    const double lag = static_cast<double>(k);
    odd.push_back(static_cast<float>(2 / (pi * lag) *
                                     (0.54 + 0.46 * std::cos(pi * lag / static_cast<double>(half)))));
  }
  return odd;
}

std::unique_ptr<SampleStage> hilbert_stage(std::size_t taps) {
  return std::make_unique<CentredFirStage>(hilbert_odd_taps(taps), KernelSymmetry::OddAntisymmetric);
}

}  // namespace korvel::signal
