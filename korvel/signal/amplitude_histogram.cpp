// SPDX-License-Identifier: MIT
#include "korvel/signal/amplitude_histogram.h"

#include <algorithm>

namespace korvel::signal {

template <bool kSum>
AmplitudeHistogram::Found AmplitudeHistogram::find(std::uint32_t rank) const {
  Found found{kBins, 0, 0.0};  // count: held values in the bins above the current one
  std::size_t group = kGroups;
  while (group > 0 && found.count + group_counts_[group - 1] < rank) {
    --group;
    if (group_counts_[group] == 0) continue;
    found.count += group_counts_[group];
    if constexpr (kSum)
      for (std::size_t bin = group * kGroupSize; bin < (group + 1) * kGroupSize; ++bin) found.sum += bins_[bin].sum;
  }
  if (group == 0) return {kBins, 0, 0.0};  // fewer than `rank` values held
  --group;
  std::size_t bin = (group + 1) * kGroupSize;
  do {
    --bin;
    found.count += bins_[bin].count;
    if constexpr (kSum) found.sum += bins_[bin].sum;
  } while (found.count < rank);
  found.bin = bin;
  return found;
}

AmplitudeHistogram::Cap AmplitudeHistogram::cap_at_rank_from_top(std::uint32_t rank) const {
  const Found found = find<true>(rank);
  if (found.bin == kBins) return {0.0f, 0.0};
  const float edge = edge_of(found.bin);
  return {edge, std::max(0.0, found.sum - static_cast<double>(edge) * found.count)};
}

float AmplitudeHistogram::value_at_rank_from_top(std::uint32_t rank) const {
  const Found found = find<false>(rank);
  return found.bin == kBins ? 0.0f : edge_of(found.bin);
}

}  // namespace korvel::signal
