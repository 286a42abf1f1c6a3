// SPDX-License-Identifier: MIT
#include "hrv/views/plot_data.h"

#include <gtest/gtest.h>

#include "sdk/cpp/utf.h"

namespace {

using HRV::PlotPoint;

TEST(PlotData, NextHandsOutScaledFloatsInBlocksAndStopsAtTheEnd) {
  const std::vector<double> rr{0.8, 0.9, 1.0};
  auto data = make_com<HRV::SeriesData>(u"$HRV_Tachogram", &rr, 1000.0);
  float out[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(data->Next(2, out, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_FLOAT_EQ(out[0], 800.0f);
  EXPECT_FLOAT_EQ(out[1], 900.0f);
  EXPECT_EQ(data->Next(2, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_FLOAT_EQ(out[0], 1000.0f);
  EXPECT_EQ(data->Next(2, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
}

TEST(PlotData, SkipClampsAndSaysHowFarItMoved) {
  const std::vector<double> values(10, 1.0);
  auto data = make_com<HRV::SeriesData>(u"x", &values, 1.0);
  std::int32_t moved = 0, position = -1;
  EXPECT_EQ(data->Skip(4, &moved), S_OK);
  EXPECT_EQ(moved, 4);
  EXPECT_EQ(data->Skip(20, &moved), S_FALSE);
  EXPECT_EQ(moved, 6);
  EXPECT_EQ(data->Skip(-30, &moved), S_FALSE);
  EXPECT_EQ(moved, -10);
  data->GetPosition(&position);
  EXPECT_EQ(position, 0);
}

TEST(PlotData, CloneKeepsThePositionAndMovesOnItsOwn) {
  const std::vector<double> values{1, 2, 3, 4};
  auto data = make_com<HRV::SeriesData>(u"x", &values, 1.0);
  data->Skip(2, nullptr);
  ComPtr<IPlotData> copy;
  ASSERT_EQ(data->Clone(copy.put()), S_OK);
  float out = 0;
  copy->Next(1, &out, nullptr);
  EXPECT_FLOAT_EQ(out, 3.0f);
  std::int32_t position = 0;
  data->GetPosition(&position);
  EXPECT_EQ(position, 2);
  Bstr id;
  copy->GetId(id.put());
  EXPECT_EQ(id.utf8(), "x");
}

TEST(PlotData, RangeAndCountFollowTheContainerAsItGrows) {
  std::vector<PlotPoint> points;
  auto x = make_com<HRV::PointXData>(u"$HRV_Poincare_X", &points, 1000.0);
  auto y = make_com<HRV::PointYData>(u"$HRV_Poincare_Y", &points, 1.0);
  double min = -1, max = -1;
  EXPECT_EQ(x->GetRange(&min, &max), S_FALSE);
  EXPECT_EQ(min, -1);  // untouched
  EXPECT_EQ(x->GetCount(nullptr), E_FAIL);
  points.push_back({0.9, 1.3, 1, 100, 0});
  points.push_back({0.7, 1.1, 2, 900, 0});
  ULONG count = 0;
  x->GetCount(&count);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(x->GetRange(&min, &max), S_OK);
  EXPECT_DOUBLE_EQ(min, 700.0);
  EXPECT_DOUBLE_EQ(max, 900.0);
  ASSERT_EQ(y->GetRange(&min, &max), S_OK);
  EXPECT_DOUBLE_EQ(min, 1.1);
  EXPECT_DOUBLE_EQ(max, 1.3);
}

TEST(PlotData, LabelsNameTheIndexAndValueOrTheBeatsPosition) {
  const std::vector<double> rr{0.8125};
  auto series = make_com<HRV::SeriesData>(u"x", &rr, 1000.0);
  Bstr label;
  ASSERT_EQ(series->GetLabel(0, label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "0\t812.5");
  EXPECT_EQ(series->GetLabel(1, label.put()), S_FALSE);
  EXPECT_EQ(label.get(), nullptr);

  const std::vector<PlotPoint> points{{0.8, 0.9, 7, 2500, 3}};
  auto x = make_com<HRV::PointXData>(u"x", &points, 1000.0);
  ASSERT_EQ(x->GetLabel(0, label.put()), S_OK);
  EXPECT_EQ(label.utf8(), "3\t2500");
}

}  // namespace
