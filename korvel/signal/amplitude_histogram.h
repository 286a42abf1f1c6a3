// SPDX-License-Identifier: MIT
// Sliding-window order statistic of non-negative values: counts and sums in logarithmic
// bins, for the capped mean and the quiet quartile of the envelope normaliser.
//
// Why bins and not an exact order-statistic tree: the normaliser needs, every 0.1 s, the
// 99th percentile q of a window of thousands of samples, the excess sum (a - cap) over
// the values above the cap, and the window's lower quartile. An exact structure (balanced tree, or two heaps with lazy
// deletion) costs O(log W) scattered memory accesses for every insertion and removal,
// while a flat histogram costs two array updates per sample and, per query, a walk over
// its top bins.
//
// Bins are the top 16 bits of the IEEE float, i.e. the exponent and the 7 leading
// mantissa bits: each bin spans a factor of at most 1 + 2^-7 over the whole float range,
// so no scale has to be chosen in advance. The query returns the lower edge p of the bin
// that holds q, so p <= q < p (1 + 2^-7): the cap is at most 0.78 % below the exact
// percentile. The excess is then exact for that cap, sum(max(a - p, 0)), because every
// value in q's bin or above it is >= p and every value below the bin is < p.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel::signal {

class AmplitudeHistogram {
 public:
  // `value` must be finite and >= 0.
  void insert(float value) {
    const std::size_t bin = bin_of(value);
    bins_[bin].sum += value;
    ++bins_[bin].count;
    ++group_counts_[bin >> kBinBits];
  }

  // `value` must have been inserted and not yet removed.
  void remove(float value) {
    const std::size_t bin = bin_of(value);
    Bin& b = bins_[bin];
    // The sum goes back to exactly zero when the bin empties, so rounding in the running
    // add and subtract cannot outlive the values that caused it.
    --b.count;
    b.sum = b.count == 0 ? 0.0 : b.sum - value;
    --group_counts_[bin >> kBinBits];
  }

  struct Cap {
    float value;    // lower edge of the bin holding the order statistic
    double excess;  // sum over the held values of max(a - value, 0)
  };
  // The cap at the `rank`-th largest held value (1 = the largest); `rank` must be between
  // 1 and the number of held values.
  Cap cap_at_rank_from_top(std::uint32_t rank) const;
  // The same bin edge without the excess, from the held counts alone.
  float value_at_rank_from_top(std::uint32_t rank) const;

 private:
  static constexpr std::size_t kBinBits = 7;                      // mantissa bits kept
  static constexpr std::size_t kBins = 0x7F800000u >> 16;         // finite floats >= 0
  static constexpr std::size_t kGroups = kBins >> kBinBits;       // one per exponent
  static constexpr std::size_t kGroupSize = std::size_t{1} << kBinBits;

  struct Bin {
    double sum = 0;  // sum of the held values in this bin
    std::uint32_t count = 0;
  };

  static std::size_t bin_of(float value) { return std::bit_cast<std::uint32_t>(value) >> 16; }
  static float edge_of(std::size_t bin) { return std::bit_cast<float>(static_cast<std::uint32_t>(bin << 16)); }

  // Walks down from the top to the bin that holds the `rank`-th largest value.
  struct Found {
    std::size_t bin;      // kBins when fewer than `rank` values are held
    std::uint32_t count;  // values held in that bin and above it
    double sum;           // their sum, when asked for
  };
  template <bool kSum>
  Found find(std::uint32_t rank) const;

  std::vector<Bin> bins_ = std::vector<Bin>(kBins);
  // Held values per exponent, to find the order statistic's bin without visiting empty
  // ones. Only counts: sums of groups are gathered from their bins when a query needs
  // them, which is rare, instead of being updated with every sample.
  std::vector<std::uint32_t> group_counts_ = std::vector<std::uint32_t>(kGroups);
};

}  // namespace korvel::signal
