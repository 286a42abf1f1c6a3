// SPDX-License-Identifier: MIT
// The chart view through IChartView: what a query reports for each kind of selection, and
// what it refuses.
#include "korvel/services/chart_view.h"

#include <gtest/gtest.h>

#include "korvel/app/host_document.h"
#include "sdk/cpp/hresult_error.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::services {
namespace {

constexpr ChannelId kCh1{0, ChannelId::kDefaultKind};

// One record of 2000 ticks.
ComPtr<ChartView> view_of_two_seconds() {
  auto recording = korvel::test::synthetic_recording(korvel::test::synthetic_ecg(2.0, 1000.0, 3), 1000.0);
  auto data = make_com<app::HostDocument>(doc::Document(recording), nullptr);
  return make_com<ChartView>(ComPtr<IDocumentData>::retain(data.get()));
}

struct Query {
  HRESULT hr;
  std::uint32_t kind;
  TickPosition start, end;
  ChannelId channel;
  double low, high;
};

Query query(IChartView& view, std::uint32_t kind_in = kSelectionQueryStart) {
  Query q{};
  q.kind = kind_in;
  q.low = -1.0;
  q.high = 1.0;
  q.hr = view.GetSelection(&q.kind, &q.start, &q.end, &q.channel, &q.low, &q.high);
  return q;
}

TEST(ChartView, ReportsNoSelectionWithUnsetPositionsAndLeavesTheCallersLimits) {
  auto view = view_of_two_seconds();
  const Query q = query(*view);
  ASSERT_EQ(q.hr, S_OK);
  EXPECT_EQ(q.kind, kSelectionNone);
  EXPECT_EQ(q.start, TickPosition::unset());
  EXPECT_EQ(q.end, TickPosition::unset());
  EXPECT_EQ(q.low, -1.0);
  EXPECT_EQ(q.high, 1.0);
}

TEST(ChartView, ReportsAPointAsStartingAndEndingAtItsPosition) {
  auto view = view_of_two_seconds();
  view->select_point({500, 0}, kCh1);
  const Query q = query(*view);
  EXPECT_EQ(q.kind, kSelectionPoint);
  EXPECT_EQ(q.start, (TickPosition{500, 0}));
  EXPECT_EQ(q.end, (TickPosition{500, 0}));
  EXPECT_EQ(q.channel, kCh1);
}

TEST(ChartView, SetSelectionKeepsTheValueLimitsItWasGiven) {
  auto view = view_of_two_seconds();
  ASSERT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {2000, 0}, kCh1, -32000.0, 32000.0), S_OK);
  const Query q = query(*view);
  EXPECT_EQ(q.kind, kSelectionRange);
  EXPECT_EQ(q.end, (TickPosition{2000, 0}));  // the position after the last sample is inside
  EXPECT_EQ(q.low, -32000.0);
  EXPECT_EQ(q.high, 32000.0);
  ASSERT_EQ(view->SetSelection(kSelectionNone, {}, {}, kCh1, 0, 0), S_OK);
  EXPECT_EQ(query(*view).kind, kSelectionNone);
}

TEST(ChartView, RefusesSelectionsOutsideTheDataAndKeepsTheOldOne) {
  auto view = view_of_two_seconds();
  view->select_range({0, 0}, {100, 0});
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {2001, 0}, kCh1, 0, 1), E_INVALIDARG);
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 1}, {20, 1}, kCh1, 0, 1), E_INVALIDARG);  // no record 1
  EXPECT_EQ(view->SetSelection(kSelectionRange, {20, 0}, {10, 0}, kCh1, 0, 1), E_INVALIDARG);  // backwards
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {20, 0}, ChannelId{7, 0}, 0, 1), E_INVALIDARG);
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {20, 0}, kCh1, 1, 0), E_INVALIDARG);  // limits reversed
  EXPECT_EQ(view->SetSelection(0x801E0009u, {10, 0}, {20, 0}, kCh1, 0, 1), E_INVALIDARG);
  EXPECT_EQ(view->selection().end, (TickPosition{100, 0}));
  EXPECT_THROW(view->select_point({-1, 0}), HResultError);
}

TEST(ChartView, AQueryMustStartFromTheQueryKind) {
  auto view = view_of_two_seconds();
  EXPECT_EQ(query(*view, 0).hr, E_INVALIDARG);
  std::uint32_t kind = kSelectionQueryStart;
  TickPosition s, e;
  double low = 0, high = 0;
  EXPECT_EQ(view->GetSelection(&kind, &s, &e, nullptr, &low, &high), E_POINTER);
}

TEST(ChartView, ShowsOnlyPositionsInsideTheData) {
  auto view = view_of_two_seconds();
  EXPECT_EQ(view->ShowPosition({1999, 0}), S_OK);
  EXPECT_EQ(view->ShowPosition({5, 3}), E_INVALIDARG);
  ASSERT_TRUE(view->shown());
  EXPECT_EQ(*view->shown(), (TickPosition{1999, 0}));
}

}  // namespace
}  // namespace korvel::services
