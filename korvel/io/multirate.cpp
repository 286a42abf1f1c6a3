// SPDX-License-Identifier: MIT
#include "korvel/io/multirate.h"

#include <algorithm>
#include <limits>
#include <string>

#include "korvel/io/file_access.h"

namespace korvel::io {

std::vector<float> interpolate_onto_ticks(std::span<const float> samples, std::uint64_t slow, std::uint64_t fast,
                                          std::size_t tick_count) {
  std::vector<float> ticks;
  if (samples.empty()) {
    ticks.assign(tick_count, std::numeric_limits<float>::quiet_NaN());
    return ticks;
  }
  ticks.reserve(tick_count);
  // Tick n sits at source position index + remainder / fast, kept as an exact fraction so
  // long records accumulate no rounding.
  std::size_t index = 0;
  std::uint64_t remainder = 0;
  const std::size_t last = samples.size() - 1;
  for (std::size_t n = 0; n < tick_count; ++n) {
    if (index >= last) {
      ticks.push_back(samples[last]);
    } else if (remainder == 0) {
      ticks.push_back(samples[index]);
    } else {
      const double weight = static_cast<double>(remainder) / static_cast<double>(fast);
      const double a = samples[index];
      const double b = samples[index + 1];
      ticks.push_back(static_cast<float>(a + (b - a) * weight));
    }
    remainder += slow;
    while (remainder >= fast) {
      remainder -= fast;
      ++index;
    }
  }
  return ticks;
}

void check_interpolated_size(const std::filesystem::path& file, std::uint64_t tick_count, std::uint64_t channel_count,
                             std::uint64_t stored_samples) {
  // The allocation rule (ARCHITECTURE.md): a float per channel and tick may cost at most
  // 16 times the samples the file stores; 1,024 let an 8 MB record take 8 GB.
  constexpr std::uint64_t kMaxValuesPerStoredSample = 16;
  const std::uint64_t limit = kMaxValuesPerStoredSample * std::max<std::uint64_t>(stored_samples, 1);
  if (channel_count != 0 && tick_count > limit / channel_count) {
    fail(file, "the fastest signal's ticks for every channel (" + std::to_string(tick_count) + " ticks x " +
                   std::to_string(channel_count) + " channels) would be over 1024 values per stored sample (" +
                   std::to_string(stored_samples) + " stored); the sampling rates in the header are implausible");
  }
}

}  // namespace korvel::io
