// SPDX-License-Identifier: MIT
#include "korvel/signal/polarity.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace korvel::signal {
namespace {

constexpr double kSmoothingSec = 0.1;
constexpr double kSegmentSec = 10;
constexpr double kExtremeShare = 0.005;

}  // namespace

Polarity dominant_deflection(std::span<const float> samples, double dt) {
  const std::size_t n = samples.size();
  if (n == 0 || !(dt > 0)) return Polarity::Positive;
  const auto value = [&](std::size_t i) {
    const float v = samples[i];
    return std::isfinite(v) ? static_cast<double>(v) : 0.0;
  };
  // Prefix sums of the samples, the edges repeated, for the centred moving mean.
  const auto half = static_cast<std::int64_t>(std::llround(kSmoothingSec / dt / 2));
  std::vector<double> prefix(n + 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + value(i);
  const auto sum_to = [&](std::int64_t i) {  // sum of samples [0, i), edges repeated
    const auto last = static_cast<std::int64_t>(n);
    if (i <= 0) return static_cast<double>(i) * value(0);
    if (i > last) return prefix[n] + static_cast<double>(i - last) * value(n - 1);
    return prefix[static_cast<std::size_t>(i)];
  };
  const auto segment = std::max<std::size_t>(1, static_cast<std::size_t>(std::llround(kSegmentSec / dt)));
  int votes = 0;  // positive minus negative
  std::vector<double> detail;
  for (std::size_t begin = 0; begin < n; begin += segment) {
    const std::size_t end = std::min(n, begin + segment);
    detail.clear();
    for (std::size_t i = begin; i < end; ++i) {
      const auto at = static_cast<std::int64_t>(i);
      const double mean = (sum_to(at + half + 1) - sum_to(at - half)) / static_cast<double>(2 * half + 1);
      detail.push_back(value(i) - mean);
    }
    // The k-th largest and the k-th smallest: negating the input swaps them exactly.
    const auto k = static_cast<std::size_t>(std::ceil(kExtremeShare * static_cast<double>(detail.size())));
    std::nth_element(detail.begin(), detail.begin() + static_cast<std::ptrdiff_t>(k - 1), detail.end());
    const double below = -detail[k - 1];
    std::nth_element(detail.begin(), detail.end() - static_cast<std::ptrdiff_t>(k), detail.end(), std::less<>());
    const double above = detail[detail.size() - k];
    votes += (above > below) - (below > above);
  }
  return votes < 0 ? Polarity::Negative : Polarity::Positive;
}

}  // namespace korvel::signal
