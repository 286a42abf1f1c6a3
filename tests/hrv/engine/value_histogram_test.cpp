// SPDX-License-Identifier: MIT
#include "hrv/engine/value_histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace HRV {
namespace {

// Bin widths and values below are binary fractions, so that "exactly on an edge" is exact.
constexpr double kBinWidth = 0.125;

TEST(ValueHistogram, BuildsTheBinsFromTheSmallestToTheLargestValue) {
  ValueHistogram h;
  const std::vector<double> values{0.75, 0.8, 1.0, 0.875, -0.25};
  h.build(values, kBinWidth);
  EXPECT_EQ(h.binWidth, kBinWidth);
  EXPECT_EQ(h.firstBin, -2);  // floor(-0.25 / 0.125)
  // Bins -2 ... 8; 0.75 is on the edge of bin 6 and belongs to it, as 1.0 to bin 8.
  std::vector<double> expected(11, 0.0);
  expected[0] = 1;      // -0.25
  expected[6 + 2] = 2;  // 0.75, 0.8
  expected[7 + 2] = 1;  // 0.875
  expected[8 + 2] = 1;  // 1.0
  EXPECT_EQ(h.counts, expected);
  EXPECT_EQ(h.total(), 5.0);
}

// 290 and 580 samples at 1 kHz lie on 10 ms edges, though formed as ticks × dt their
// quotients by 0.01 land just below 29 and 58; they open those bins.
TEST(ValueHistogram, IntervalsOnAnEdgeInWholeSamplesOpenTheirBin) {
  ValueHistogram h;
  h.build(std::vector<double>{290 * 0.001, 580 * 0.001}, 0.01);
  EXPECT_EQ(h.firstBin, 29);
  EXPECT_EQ(h.counts.size(), 30u);
}

TEST(ValueHistogram, InsertionGrowsAtBothEndsLikeABuild) {
  std::mt19937_64 gen(2);
  std::normal_distribution<double> rr(0.8, 0.1);
  std::vector<double> values(500);
  for (double& v : values) v = rr(gen);
  ValueHistogram built, inserted;
  built.build(values, 0.01);
  inserted.clear(0.01);
  for (double v : values) EXPECT_TRUE(inserted.insert(v));
  EXPECT_EQ(inserted.firstBin, built.firstBin);
  EXPECT_EQ(inserted.counts, built.counts);
}

TEST(ValueHistogram, BinsTooFineForTheRangeBecomeAWholeMultipleThatFits) {
  // A microsecond-sized bin over a minute of range: tens of millions of bins asked for.
  const double width = std::ldexp(1.0, -20);
  const std::vector<double> values{0.5, 60.0, 30.25, 0.5, 45.125, 1.0};
  ValueHistogram built, inserted;
  built.build(values, width);
  inserted.clear(width);
  for (double v : values) EXPECT_TRUE(inserted.insert(v));
  for (const ValueHistogram* h : {&built, &inserted}) {
    EXPECT_LE(static_cast<double>(h->counts.size()), ValueHistogram::kMinBins + ValueHistogram::kBinsPerValue * 6);
    const double factor = h->binWidth / width;
    EXPECT_EQ(factor, std::round(factor)) << "width " << h->binWidth;
    EXPECT_EQ(h->total(), 6.0);
    for (double v : values) {  // each value counted in the bin that holds it
      const auto k = static_cast<std::size_t>(std::floor(v / h->binWidth) - h->firstBin);
      ASSERT_LT(k, h->counts.size()) << v;
      EXPECT_GT(h->counts[k], 0.0) << v;
    }
  }
}

TEST(ValueHistogram, InsertionNeedsAPositiveWidthAndARepresentableBin) {
  ValueHistogram h;
  EXPECT_FALSE(h.insert(0.8));  // width 0: no histogram
  h.clear(1e-12);
  EXPECT_FALSE(h.insert(1e6));  // bin 1e18 does not fit 32 bits
  EXPECT_FALSE(h.insert(std::nan("")));
  EXPECT_TRUE(h.counts.empty());
}

TEST(ValueHistogram, MedianEstimateInterpolatesInsideTheMiddleBin) {
  ValueHistogram h;
  EXPECT_EQ(h.median_estimate(), 0.0);
  h.clear(kBinWidth);
  // Bins 6, 7, 8 hold 1, 2, 1: N/2 = 2 is reached in bin 7 with 1 before it, so the
  // median is 7·w + w·(2 - 1)/2.
  for (double v : {0.75, 0.875, 0.9, 1.0}) h.insert(v);
  EXPECT_DOUBLE_EQ(h.median_estimate(), 7.5 * kBinWidth);
  // An odd count: N/2 = 1.5 lies in the last of two bins holding 1 and 2.
  ValueHistogram odd;
  odd.clear(kBinWidth);
  for (double v : {0.25, 0.375, 0.4}) odd.insert(v);
  EXPECT_DOUBLE_EQ(odd.median_estimate(), 3 * kBinWidth + kBinWidth * 0.5 / 2);
  // Half the count reached exactly at the top of a bin, with empty bins after it: the median
  // is that bin's upper edge, not the start of the next bin that holds values.
  ValueHistogram gap;
  gap.clear(kBinWidth);
  for (double v : {0.75, 0.8, 1.0, 1.05}) gap.insert(v);
  EXPECT_DOUBLE_EQ(gap.median_estimate(), 7 * kBinWidth);
}

}  // namespace
}  // namespace HRV
