// SPDX-License-Identifier: MIT
#include "hrv/core/user_event_data.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_host_application.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "tick_position_printer.h"

namespace {

using HRV::AddedBeats;
using HRV::RemovedBeats;
using Positions = std::vector<TickPosition>;

Positions contents(const HRV::UserEventData& edits, HRV::UserEventSet set) {
  const auto& s = edits.positions(set);
  return {s.begin(), s.end()};
}

TEST(UserEventData, AddKeepsOneEntryPerPositionInItsSetAndRemovingAnAbsentOneSucceeds) {
  auto edits = make_com<HRV::UserEventData>();
  const TickPosition p{100, 3}, absent{101, 3};
  EXPECT_EQ(edits->Add(&p, AddedBeats), S_OK);
  EXPECT_EQ(edits->Add(&p, AddedBeats), S_OK);
  EXPECT_EQ(edits->Add(&p, 5), S_OK);  // any set other than 0 means the removed beats
  EXPECT_EQ(contents(*edits, AddedBeats), Positions{p});
  EXPECT_EQ(contents(*edits, RemovedBeats), Positions{p});
  EXPECT_EQ(edits->Remove(&absent, AddedBeats), S_OK);
  EXPECT_EQ(edits->Remove(&p, -1), S_OK);
  EXPECT_EQ(contents(*edits, AddedBeats), Positions{p});
  EXPECT_TRUE(edits->positions(RemovedBeats).empty());
  VARIANT_BOOL empty = VARIANT_TRUE;
  EXPECT_EQ(edits->IsEmpty(&empty), S_FALSE);
  EXPECT_EQ(empty, VARIANT_FALSE);
  EXPECT_EQ(edits->Clear(), S_OK);
  EXPECT_EQ(edits->IsEmpty(&empty), S_OK);
  EXPECT_EQ(empty, VARIANT_TRUE);
}

TEST(UserEventData, FindAtOrAfterOrdersByRecordFirstAndAnswersTheSentinelPastTheEnd) {
  auto edits = make_com<HRV::UserEventData>();
  for (TickPosition p : {TickPosition{500, 0}, TickPosition{1000000, 1}, TickPosition{5, 2}}) edits->Add(&p, AddedBeats);
  EXPECT_EQ(contents(*edits, AddedBeats), (Positions{{500, 0}, {1000000, 1}, {5, 2}}));
  const std::pair<TickPosition, TickPosition> cases[] = {
      {{500, 0}, {500, 0}}, {{501, 0}, {1000000, 1}}, {{0, 2}, {5, 2}}, {{1000001, 1}, {5, 2}}};
  for (const auto& [from, want] : cases) {
    TickPosition found;
    EXPECT_EQ(edits->FindAtOrAfter(&from, AddedBeats, &found), S_OK);
    EXPECT_EQ(found, want);
  }
  const TickPosition after{6, 2};
  TickPosition found;
  EXPECT_EQ(edits->FindAtOrAfter(&after, AddedBeats, &found), S_FALSE);
  EXPECT_EQ(found, (TickPosition{0x7FFFFFFF, 0x7FFFFFFF}));
  EXPECT_EQ(edits->FindAtOrAfter(&after, RemovedBeats, &found), S_FALSE);  // the other set is empty
}

TEST(UserEventData, CloneIsAnIndependentDeepCopy) {
  auto edits = make_com<HRV::UserEventData>();
  const TickPosition a{10, 0}, b{20, 0}, c{30, 0};
  edits->Add(&a, AddedBeats);
  edits->Add(&b, RemovedBeats);
  ComPtr<IChartDataChildData> copy;
  ASSERT_EQ(edits->Clone(1, 2, 3, 4, 5, 6, copy.put()), S_OK);
  auto copyEdits = copy.query<HRV::IUserEventData>();
  ASSERT_TRUE(copyEdits);
  edits->Clear();
  TickPosition found;
  EXPECT_EQ(copyEdits->FindAtOrAfter(&a, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, a);
  EXPECT_EQ(copyEdits->FindAtOrAfter(&a, RemovedBeats, &found), S_OK);
  EXPECT_EQ(found, b);
  copyEdits->Add(&c, AddedBeats);
  EXPECT_EQ(edits->IsEmpty(nullptr), S_OK);
}

TEST(UserEventData, TypeIdIsTheDocumentModuleWithLocalNumberTwo) {
  auto app = make_com<fake_host::Application>();
  auto edits = make_com<HRV::UserEventData>();
  std::uint32_t id = 0;
  EXPECT_EQ(edits->GetTypeId(&id), E_UNEXPECTED);  // no host: nothing to build the id from
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
  app->module_id(HRV::GUID_HRVEnumObj);  // another family first, so the ids differ
  EXPECT_EQ(edits->GetTypeId(&id), S_OK);
  EXPECT_EQ(id, std::uint32_t{app->module_id(HRV::GUID_HRVDocumentObj)} << 16 | 2);
  HRV::HostContext::instance().set_application(nullptr);
}

}  // namespace
