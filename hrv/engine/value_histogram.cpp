// SPDX-License-Identifier: MIT
#include "value_histogram.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

namespace HRV {

namespace {

// floor(v / width) as a bin index, or nothing when it does not fit (or v is NaN). A
// quotient within 1e-9 of a whole number is that number: an interval on a bin edge, such as
// 290 samples at 1 kHz with 10 ms bins, comes out of (a − b)·dt a few ulps either side of it
// and still opens its bin.
std::optional<std::int32_t> bin_index(double value, double width) noexcept {
  const double q = value / width, whole = std::nearbyint(q);
  const double k = std::abs(q - whole) <= 1e-9 ? whole : std::floor(q);
  if (!(k >= std::numeric_limits<std::int32_t>::min() && k <= std::numeric_limits<std::int32_t>::max()))
    return std::nullopt;
  return static_cast<std::int32_t>(k);
}

}  // namespace

void ValueHistogram::clear(double width) noexcept {
  binWidth = width;
  firstBin = 0;
  counts.clear();
}

void ValueHistogram::build(std::span<const double> values, double width) {
  if (!(width > 0.0) || values.empty()) return;
  const double limit = kMinBins + kBinsPerValue * static_cast<double>(values.size());
  std::optional<std::int32_t> lo, hi;
  for (;;) {
    lo = hi = std::nullopt;
    for (double v : values) {
      const auto k = bin_index(v, width);
      if (!k) continue;
      lo = lo ? std::min(*lo, *k) : *k;
      hi = hi ? std::max(*hi, *k) : *k;
    }
    const double bins = lo ? static_cast<double>(*hi) - *lo + 1 : 0;
    if (bins <= limit) break;
    width *= std::ceil(bins / limit);  // a bin more or less at the edges: a second round at most
  }
  clear(width);
  if (!lo) return;
  firstBin = *lo;
  counts.assign(static_cast<std::size_t>(static_cast<std::int64_t>(*hi) - *lo + 1), 0.0);
  for (double v : values)
    if (const auto k = bin_index(v, width)) counts[static_cast<std::size_t>(*k - firstBin)] += 1.0;
}

void ValueHistogram::coarsen(std::int64_t factor) {
  if (factor <= 1) return;
  auto merged = [factor](std::int64_t k) { return k >= 0 ? k / factor : -((-k + factor - 1) / factor); };
  const std::int64_t first = merged(firstBin);
  std::vector<double> wider;
  if (!counts.empty()) wider.assign(static_cast<std::size_t>(merged(firstBin + static_cast<std::int64_t>(counts.size()) - 1) - first + 1), 0.0);
  for (std::size_t i = 0; i < counts.size(); ++i) wider[static_cast<std::size_t>(merged(firstBin + static_cast<std::int64_t>(i)) - first)] += counts[i];
  counts = std::move(wider);
  firstBin = static_cast<std::int32_t>(first);
  binWidth *= static_cast<double>(factor);
}

bool ValueHistogram::insert(double value) {
  if (!(binWidth > 0.0)) return false;
  auto k = bin_index(value, binWidth);
  if (!k) return false;
  if (!counts.empty()) {
    const double bins = static_cast<double>(std::max<std::int64_t>(*k, firstBin + static_cast<std::int64_t>(counts.size()) - 1)) -
                        std::min<std::int64_t>(*k, firstBin) + 1;
    // Only growth past the floor pays for the count, so the update stays constant-time.
    const double limit = bins > static_cast<double>(counts.size()) && bins > kMinBins ? kMinBins + kBinsPerValue * (total() + 1) : bins;
    if (bins > limit) {
      coarsen(static_cast<std::int64_t>(std::ceil(bins / limit)));
      k = bin_index(value, binWidth);
      if (!k) return false;
    }
  }
  if (counts.empty()) {
    firstBin = *k;
    counts.assign(1, 1.0);
  } else if (*k < firstBin) {
    counts.insert(counts.begin(), static_cast<std::size_t>(static_cast<std::int64_t>(firstBin) - *k), 0.0);
    firstBin = *k;
    counts.front() += 1.0;
  } else {
    const auto offset = static_cast<std::size_t>(static_cast<std::int64_t>(*k) - firstBin);
    if (offset >= counts.size()) counts.resize(offset + 1, 0.0);
    counts[offset] += 1.0;
  }
  return true;
}

double ValueHistogram::total() const noexcept { return std::accumulate(counts.begin(), counts.end(), 0.0); }

double ValueHistogram::median_estimate() const noexcept {
  const double half = 0.5 * total();
  double before = 0.0;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    if (counts[k] > 0.0 && before + counts[k] >= half)
      return binWidth * (firstBin + static_cast<double>(k)) + binWidth * (half - before) / counts[k];
    before += counts[k];
  }
  return 0.0;
}

double scott_bin_width(double sd, std::uint32_t n) noexcept { return n < 2 ? 0.0 : 3.5 * sd / std::cbrt(n); }

}  // namespace HRV
