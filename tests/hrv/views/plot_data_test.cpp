// SPDX-License-Identifier: MIT
#include "hrv/views/plot_data.h"

#include <gtest/gtest.h>

#include "sdk/cpp/utf.h"

namespace {

TEST(PlotData, NextHandsOutScaledFloatsInBlocksSkipClampsAndACloneMovesOnItsOwn) {
  const std::vector<double> rr{0.8, 0.9, 1.0};
  auto data = make_com<HRV::SeriesData>(u"$HRV_Tachogram", &rr, 1000.0);
  float out[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(data->Next(2, out, &fetched), S_OK);
  EXPECT_EQ(std::vector<float>(out, out + fetched), (std::vector<float>{800.0f, 900.0f}));
  ComPtr<IPlotData> copy;
  ASSERT_EQ(data->Clone(copy.put()), S_OK);
  EXPECT_EQ(data->Next(2, out, &fetched), S_FALSE);
  EXPECT_EQ(std::vector<float>(out, out + fetched), (std::vector<float>{1000.0f}));
  EXPECT_EQ(data->Next(2, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  std::int32_t moved = 0, position = -1;
  EXPECT_EQ(data->Skip(-1, &moved), S_OK);
  EXPECT_EQ(moved, -1);
  EXPECT_EQ(data->Skip(-30, &moved), S_FALSE);
  EXPECT_EQ(moved, -2);
  EXPECT_EQ(data->Skip(20, &moved), S_FALSE);
  EXPECT_EQ(moved, 3);
  copy->GetPosition(&position);
  EXPECT_EQ(position, 2);
  Bstr id;
  copy->GetId(id.put());
  EXPECT_EQ(id.utf8(), "$HRV_Tachogram");
}

TEST(PlotData, RangeCountAndLabelsFollowTheContainerAsItGrows) {
  std::vector<HRV::PlotPoint> points;
  auto x = make_com<HRV::PointXData>(u"$HRV_Poincare_X", &points, 1000.0);
  double min = -1, max = -1;
  EXPECT_EQ(x->GetRange(&min, &max), S_FALSE);
  EXPECT_EQ(min, -1);  // untouched
  EXPECT_EQ(x->GetCount(nullptr), E_FAIL);
  points.push_back({0.9, 1.3, 1, 100, 0});
  points.push_back({0.7, 1.1, 2, 2500, 3});
  ULONG count = 0;
  x->GetCount(&count);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(x->GetRange(&min, &max), S_OK);
  EXPECT_EQ((std::pair{min, max}), (std::pair{700.0, 900.0}));
  ASSERT_EQ(make_com<HRV::PointYData>(u"y", &points, 1.0)->GetRange(&min, &max), S_OK);
  EXPECT_EQ((std::pair{min, max}), (std::pair{1.1, 1.3}));
  Bstr label;
  ASSERT_EQ(x->GetLabel(1, label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "3\t2500");  // the beat's record and tick
  const std::vector<double> rr{0.8125};
  auto series = make_com<HRV::SeriesData>(u"x", &rr, 1000.0);
  ASSERT_EQ(series->GetLabel(0, label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "0\t812.5");  // index and shown value
  EXPECT_EQ(series->GetLabel(1, label.put()), S_FALSE);
  EXPECT_EQ(label.get(), nullptr);
}

}  // namespace
