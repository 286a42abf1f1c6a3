// SPDX-License-Identifier: MIT
// The chart view through IChartView: what a query reports for each kind of selection, and
// what it refuses.
#include "korvel/services/chart_view.h"

#include <gtest/gtest.h>

#include <tuple>

#include "korvel/app/host_document.h"
#include "sdk/cpp/hresult_error.h"
#include "tests/korvel/calc/synthetic_recording.h"

namespace korvel::services {
namespace {

constexpr ChannelId kCh1{0, ChannelId::kDefaultKind};

struct Query {
  HRESULT hr = S_OK;
  std::uint32_t kind = 0;
  TickPosition start, end;
  ChannelId channel;
  double low = -1.0, high = 1.0;  // what the caller passes in
};

class ChartViewTest : public ::testing::Test {
 protected:
  Query query(std::uint32_t kind = kSelectionQueryStart) {
    Query q{};
    q.kind = kind;
    q.hr = view->GetSelection(&q.kind, &q.start, &q.end, &q.channel, &q.low, &q.high);
    return q;
  }
  // One record of 2000 ticks.
  ComPtr<ChartView> view = make_com<ChartView>(ComPtr<IDocumentData>::retain(make_com<app::HostDocument>(
      doc::Document(korvel::test::synthetic_recording(korvel::test::synthetic_ecg(2.0, 1000.0, 3), 1000.0)), nullptr).get()));
};

TEST_F(ChartViewTest, ReportsEachKindOfSelectionWithItsPositionsAndLimits) {
  Query q = query();
  EXPECT_EQ(std::tuple(q.hr, q.kind, q.start, q.end, q.low, q.high),
            std::tuple(S_OK, kSelectionNone, TickPosition::unset(), TickPosition::unset(), -1.0, 1.0))
      << "no selection leaves the caller's limits";
  view->select_point({500, 0}, kCh1);
  q = query();
  EXPECT_EQ(std::tuple(q.kind, q.start, q.end, q.channel), std::tuple(kSelectionPoint, TickPosition{500, 0}, TickPosition{500, 0}, kCh1));
  ASSERT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {2000, 0}, kCh1, -32000.0, 32000.0), S_OK);  // the end of data is inside
  q = query();
  EXPECT_EQ(std::tuple(q.kind, q.end, q.low, q.high), std::tuple(kSelectionRange, TickPosition{2000, 0}, -32000.0, 32000.0));
  ASSERT_EQ(view->SetSelection(kSelectionNone, {}, {}, kCh1, 0, 0), S_OK);
  EXPECT_EQ(query().kind, kSelectionNone);
}

TEST_F(ChartViewTest, RefusesSelectionsAndPositionsOutsideTheDataAndKeepsTheOldOne) {
  view->select_range({0, 0}, {100, 0});
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {2001, 0}, kCh1, 0, 1), E_INVALIDARG) << "past the end";
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 1}, {20, 1}, kCh1, 0, 1), E_INVALIDARG) << "no record 1";
  EXPECT_EQ(view->SetSelection(kSelectionRange, {20, 0}, {10, 0}, kCh1, 0, 1), E_INVALIDARG) << "backwards";
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {20, 0}, ChannelId{7, 0}, 0, 1), E_INVALIDARG) << "no channel 8";
  EXPECT_EQ(view->SetSelection(kSelectionRange, {10, 0}, {20, 0}, kCh1, 1, 0), E_INVALIDARG) << "limits reversed";
  EXPECT_EQ(view->SetSelection(0x801E0009u, {10, 0}, {20, 0}, kCh1, 0, 1), E_INVALIDARG) << "unknown kind";
  EXPECT_EQ(view->selection().end, (TickPosition{100, 0}));
  EXPECT_THROW(view->select_point({-1, 0}), HResultError);
  EXPECT_EQ(view->ShowPosition({1999, 0}), S_OK);
  EXPECT_EQ(view->ShowPosition({5, 3}), E_INVALIDARG);

  EXPECT_EQ(query(0).hr, E_INVALIDARG) << "a query starts from the query kind";
  std::uint32_t kind = kSelectionQueryStart;
  TickPosition s, e;
  double low = 0, high = 0;
  EXPECT_EQ(view->GetSelection(&kind, &s, &e, nullptr, &low, &high), E_POINTER);
}

}  // namespace
}  // namespace korvel::services
