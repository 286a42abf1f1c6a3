// SPDX-License-Identifier: MIT
// A histogram of RR or delta-RR values with a fixed bin width. Bin k holds the values v with
// k·width <= v < (k+1)·width, k = floor(v / width), v on an edge to within 1e-9 of a bin
// counted on it; only the bins from the smallest to the largest value seen are stored.
// The bins are at most kMinBins + kBinsPerValue per value counted (the allocation rule of
// ARCHITECTURE.md): where the width asked would need more, the width becomes the smallest
// whole multiple of it that keeps within that, so a 1 us bin over a 60 s range costs what
// the beats cost, not 60 million bins.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace HRV {

struct ValueHistogram {
  static constexpr double kMinBins = 4096, kBinsPerValue = 16;

  double binWidth = 0.0;        // s, the width asked or a whole multiple of it; 0: no histogram
  std::int32_t firstBin = 0;    // bin index of counts[0]
  std::vector<double> counts;   // one count per bin from firstBin upward

  // Empties the histogram and sets its width.
  void clear(double width) noexcept;

  // Rebuilds the histogram with `width` from `values`. When the width is not positive or
  // there are no values, the histogram is left as it was. Values whose bin index does not
  // fit 32 bits are left out.
  void build(std::span<const double> values, double width);

  // Adds one value with the current width, growing the stored range at either end. false
  // (nothing changed) when the width is not positive or the bin index does not fit 32 bits.
  bool insert(double value);

  // Merges every `factor` neighbouring bins of the asked grid into one (factor >= 1).
  void coarsen(std::int64_t factor);

  // Total count over all bins.
  double total() const noexcept;

  // The median estimated from the bins, as while sampling: with N the total, the first bin
  // k whose cumulative count reaches N/2, C the count before it and c its own count,
  // width × (firstBin + k) + width × (N/2 - C) / c, interpolating linearly inside the bin.
  // 0 for an empty histogram.
  double median_estimate() const noexcept;
};

// Scott's rule for the bin width, s: 3.5 × sd / n^(1/3); 0 when n < 2.
double scott_bin_width(double sd, std::uint32_t n) noexcept;

}  // namespace HRV
