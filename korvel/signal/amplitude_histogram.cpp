// SPDX-License-Identifier: MIT
#include "korvel/signal/amplitude_histogram.h"

#include <algorithm>

namespace korvel::signal {

AmplitudeHistogram::Cap AmplitudeHistogram::cap_at_rank_from_top(std::uint32_t rank) const {
  std::uint32_t count = 0;  // held values in the bins above the current one
  double sum = 0;
  std::size_t group = kGroups;
  while (group > 0 && count + group_counts_[group - 1] < rank) {
    --group;
    if (group_counts_[group] == 0) continue;
    count += group_counts_[group];
    for (std::size_t bin = group * kGroupSize; bin < (group + 1) * kGroupSize; ++bin) sum += bins_[bin].sum;
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

float AmplitudeHistogram::value_at_rank_from_top(std::uint32_t rank) const {
  std::uint32_t count = 0;  // held values in the groups above the current one
  std::size_t group = kGroups;
  while (group > 0 && count + group_counts_[group - 1] < rank) count += group_counts_[--group];
  if (group == 0) return 0.0f;  // fewer than `rank` values held
  --group;
  std::size_t bin = (group + 1) * kGroupSize;
  do {
    count += bins_[--bin].count;
  } while (count < rank);
  return std::bit_cast<float>(static_cast<std::uint32_t>(bin << 16));
}

}  // namespace korvel::signal
