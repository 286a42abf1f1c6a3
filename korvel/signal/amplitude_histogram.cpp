// SPDX-License-Identifier: MIT
#include "korvel/signal/amplitude_histogram.h"

#include <algorithm>
#include <bit>

namespace korvel::signal {
namespace {

// Sums go back to exactly zero when a bin empties, so rounding in the running add and
// subtract cannot outlive the values that caused it.
void take_out(double& sum, std::uint32_t& count, float value) {
  if (--count == 0) {
    sum = 0;
  } else {
    sum -= value;
  }
}

}  // namespace

std::size_t AmplitudeHistogram::bin_of(float value) {
  return std::bit_cast<std::uint32_t>(value) >> 16;
}

void AmplitudeHistogram::insert(float value) {
  const std::size_t bin = bin_of(value);
  Bin& b = bins_[bin];
  Bin& g = groups_[bin >> kBinBits];
  b.sum += value;
  ++b.count;
  g.sum += value;
  ++g.count;
}

void AmplitudeHistogram::remove(float value) {
  const std::size_t bin = bin_of(value);
  Bin& b = bins_[bin];
  Bin& g = groups_[bin >> kBinBits];
  take_out(b.sum, b.count, value);
  take_out(g.sum, g.count, value);
}

AmplitudeHistogram::Cap AmplitudeHistogram::cap_at_rank_from_top(std::uint32_t rank) const {
  std::uint32_t count = 0;  // held values in the bins above the current one
  double sum = 0;
  std::size_t group = kGroups;
  while (group > 0 && count + groups_[group - 1].count < rank) {
    --group;
    count += groups_[group].count;
    sum += groups_[group].sum;
  }
  if (group == 0) return {0.0f, 0.0};  // fewer than `rank` values held
  --group;
  std::size_t bin = (group + 1) * kGroupSize;
  do {
    --bin;
    count += bins_[bin].count;
    sum += bins_[bin].sum;
  } while (count < rank);
  const float edge = std::bit_cast<float>(static_cast<std::uint32_t>(bin << 16));
  return {edge, std::max(0.0, sum - static_cast<double>(edge) * count)};
}

}  // namespace korvel::signal
