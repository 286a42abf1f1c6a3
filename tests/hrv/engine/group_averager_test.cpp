// SPDX-License-Identifier: MIT
#include "hrv/engine/group_averager.h"

#include <gtest/gtest.h>

#include <vector>

namespace HRV {
namespace {

// Beats every `rr` seconds in [from, to), with an interval that tells the group apart:
// each beat's RR is rr plus 0.001 s per started 100 s.
void add_beats(std::vector<double>& t, std::vector<double>& rr, double from, double to, double step) {
  for (double now = from; now < to; now += step) {
    t.push_back(now);
    rr.push_back(step + 0.001 * static_cast<int>(now / 100.0));
  }
}

TEST(GroupAverager, DropsTheTrailingGroupUntilTheDataReachItsEnd) {
  // 700 s of data from the region start, groups of 300 s: two complete groups; the third
  // (600 to 900 s) is cut off by the end of the data.
  std::vector<double> t, rr;
  add_beats(t, rr, 0.5, 700.0, 1.0);
  const GroupAverager g = GroupAverager::over(t, rr, 0.0, 700.0, 300.0);
  EXPECT_EQ(g.groupCount, 2u);
  EXPECT_EQ(g.openCount, 100u);  // the beats from 600 s wait in the open group
  EXPECT_EQ(g.boundary, 900.0);
  // Group means: beats 0.5..299.5 s have RR 1.000, 1.001, 1.002 in thirds.
  EXPECT_NEAR(g.means.sum, 1.001 + 1.004, 1e-12);

  const GroupAverager reached = GroupAverager::over(t, rr, 0.0, 900.0, 300.0);
  EXPECT_EQ(reached.groupCount, 3u);
  EXPECT_EQ(reached.openCount, 0u);
  EXPECT_EQ(reached.boundary, 1200.0);
}

// Beats every 18 samples at 360 Hz lie on the boundaries of 50 ms groups, though the
// boundaries are sums of 0.05 s and the times ticks × dt; each beat opens its own group.
TEST(GroupAverager, ABeatOnABoundaryInWholeSamplesOpensTheNextGroup) {
  const double dt = 1.0 / 360;
  std::vector<double> t, rr;
  for (int k = 1; k <= 200; ++k) t.push_back(18 * k * dt), rr.push_back(k);
  EXPECT_EQ(GroupAverager::over(t, rr, 0.0, t.back() + 0.05, 0.05, SampleGrid(dt)).groupCount, 200u);
}

TEST(GroupAverager, SkipsSpansWithoutBeatsInsteadOfCountingEmptyGroups) {
  // Beats up to 250 s, a gap, beats again from 620 s to 1000 s: the 300-600 s span has no
  // beat and is not a group; 900-1000 s stays open.
  std::vector<double> t, rr;
  add_beats(t, rr, 0.0, 250.0, 0.8);
  add_beats(t, rr, 620.0, 1000.0, 0.8);
  const GroupAverager g = GroupAverager::over(t, rr, 0.0, 1000.0, 300.0);
  EXPECT_EQ(g.groupCount, 2u);
  EXPECT_EQ(g.boundary, 1200.0);
}

TEST(GroupAverager, StartsTheFirstGroupAtTheOriginNotAtTheFirstBeatAndNeedsAPositiveLength) {
  // The first beat at 350 s opens the group [300, 600) of an origin at 0.
  std::vector<double> t, rr;
  add_beats(t, rr, 350.0, 650.0, 1.0);
  const GroupAverager g = GroupAverager::over(t, rr, 0.0, 650.0, 300.0);
  EXPECT_EQ(g.groupCount, 1u);  // [300, 600); [600, 900) is not complete
  EXPECT_EQ(g.openCount, 50u);
  const GroupAverager none = GroupAverager::over(t, rr, 0.0, 650.0, 0.0);
  EXPECT_EQ(none.groupCount + none.openCount, 0u);
}

}  // namespace
}  // namespace HRV
