// SPDX-License-Identifier: MIT
#include "hrv/core/user_event_data.h"

#include <gtest/gtest.h>

#include <vector>

#include "hrv/host/guids.h"
#include "tests/hrv/core/tick_position_printer.h"
#include "tests/hrv/host/fake_application.h"

namespace {

using HRV::AddedBeats;
using HRV::RemovedBeats;
using HRV::UserEventData;

std::vector<TickPosition> contents(const UserEventData& edits, HRV::UserEventSet set) {
  const auto& s = edits.positions(set);
  return {s.begin(), s.end()};
}

TEST(UserEventData, AddKeepsOneEntryPerPositionAndRemovingAnAbsentOneSucceeds) {
  auto edits = make_com<UserEventData>();
  const TickPosition p{100, 3};
  EXPECT_EQ(edits->Add(&p, AddedBeats), S_OK);
  EXPECT_EQ(edits->Add(&p, AddedBeats), S_OK);
  EXPECT_EQ(contents(*edits, AddedBeats), std::vector<TickPosition>{p});
  EXPECT_TRUE(edits->positions(RemovedBeats).empty());

  const TickPosition absent{101, 3};
  EXPECT_EQ(edits->Remove(&absent, AddedBeats), S_OK);
  EXPECT_EQ(edits->Remove(&p, RemovedBeats), S_OK);  // present only in the other set
  EXPECT_EQ(contents(*edits, AddedBeats), std::vector<TickPosition>{p});
  EXPECT_EQ(edits->Remove(&p, AddedBeats), S_OK);
  EXPECT_TRUE(edits->positions(AddedBeats).empty());
}

TEST(UserEventData, AnySetOtherThanZeroMeansRemovedBeats) {
  auto edits = make_com<UserEventData>();
  const TickPosition p{7, 0};
  EXPECT_EQ(edits->Add(&p, 5), S_OK);
  EXPECT_EQ(edits->Add(&p, -1), S_OK);
  EXPECT_TRUE(edits->positions(AddedBeats).empty());
  EXPECT_EQ(contents(*edits, RemovedBeats), std::vector<TickPosition>{p});
  TickPosition found;
  EXPECT_EQ(edits->FindAtOrAfter(&p, 9, &found), S_OK);
  EXPECT_EQ(found, p);
}

TEST(UserEventData, IsEmptyAnswersForBothSets) {
  auto edits = make_com<UserEventData>();
  VARIANT_BOOL empty = VARIANT_FALSE;
  EXPECT_EQ(edits->IsEmpty(&empty), S_OK);
  EXPECT_EQ(empty, VARIANT_TRUE);
  const TickPosition p{1, 1};
  edits->Add(&p, RemovedBeats);
  EXPECT_EQ(edits->IsEmpty(&empty), S_FALSE);
  EXPECT_EQ(empty, VARIANT_FALSE);
  EXPECT_EQ(edits->IsEmpty(nullptr), S_FALSE);
  EXPECT_EQ(edits->Clear(), S_OK);
  EXPECT_EQ(edits->IsEmpty(nullptr), S_OK);
}

TEST(UserEventData, FindAtOrAfterReturnsEqualOrNextPositionElseTheSentinel) {
  auto edits = make_com<UserEventData>();
  for (TickPosition p : {TickPosition{500, 0}, TickPosition{20, 1}, TickPosition{900, 1}}) edits->Add(&p, AddedBeats);
  TickPosition found;
  const TickPosition equal{20, 1};
  EXPECT_EQ(edits->FindAtOrAfter(&equal, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, equal);
  const TickPosition between{21, 1};
  EXPECT_EQ(edits->FindAtOrAfter(&between, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, (TickPosition{900, 1}));
  const TickPosition after{901, 1};
  EXPECT_EQ(edits->FindAtOrAfter(&after, AddedBeats, &found), S_FALSE);
  EXPECT_EQ(found.tick, 0x7FFFFFFF);
  EXPECT_EQ(found.record, 0x7FFFFFFF);
  found = {1, 1};
  EXPECT_EQ(edits->FindAtOrAfter(&equal, RemovedBeats, &found), S_FALSE);  // the other set is empty
  EXPECT_EQ(found, TickPosition::unset());
}

TEST(UserEventData, PositionsOrderByRecordFirst) {
  auto edits = make_com<UserEventData>();
  const TickPosition late{5, 2};
  const TickPosition early{1000000, 1};
  edits->Add(&late, AddedBeats);
  edits->Add(&early, AddedBeats);
  EXPECT_EQ(contents(*edits, AddedBeats), (std::vector<TickPosition>{early, late}));
  TickPosition found;
  const TickPosition recordTwo{0, 2};
  EXPECT_EQ(edits->FindAtOrAfter(&recordTwo, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, late);
  const TickPosition pastEarly{1000001, 1};
  EXPECT_EQ(edits->FindAtOrAfter(&pastEarly, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, late);
}

TEST(UserEventData, NullPositionsAreRefusedWithEFail) {
  auto edits = make_com<UserEventData>();
  const TickPosition p{1, 1};
  TickPosition found;
  EXPECT_EQ(edits->Add(nullptr, AddedBeats), E_FAIL);
  EXPECT_EQ(edits->Remove(nullptr, RemovedBeats), E_FAIL);
  EXPECT_EQ(edits->FindAtOrAfter(nullptr, AddedBeats, &found), E_FAIL);
  EXPECT_EQ(edits->FindAtOrAfter(&p, AddedBeats, nullptr), E_FAIL);
  EXPECT_EQ(edits->IsEmpty(nullptr), S_OK);  // the refused calls changed nothing
}

TEST(UserEventData, CloneIsAnIndependentDeepCopy) {
  auto edits = make_com<UserEventData>();
  const TickPosition a{10, 0}, b{20, 0};
  edits->Add(&a, AddedBeats);
  edits->Add(&b, RemovedBeats);

  ComPtr<IChartDataChildData> copy;
  ASSERT_EQ(edits->Clone(1, 2, 3, 4, 5, 6, copy.put()), S_OK);
  ASSERT_TRUE(copy);
  EXPECT_NE(static_cast<void*>(copy.get()), static_cast<void*>(static_cast<IChartDataChildData*>(edits.get())));
  EXPECT_EQ(copy->AddRef(), 2u);  // handed out with a count of one
  copy->Release();

  auto copyEdits = copy.query<HRV::IUserEventData>();
  ASSERT_TRUE(copyEdits);
  edits->Clear();
  TickPosition found;
  EXPECT_EQ(copyEdits->FindAtOrAfter(&a, AddedBeats, &found), S_OK);
  EXPECT_EQ(found, a);
  EXPECT_EQ(copyEdits->FindAtOrAfter(&a, RemovedBeats, &found), S_OK);
  EXPECT_EQ(found, b);
  const TickPosition c{30, 0};
  copyEdits->Add(&c, AddedBeats);
  EXPECT_EQ(edits->IsEmpty(nullptr), S_OK);

  EXPECT_EQ(edits->Clone(0, 0, 0, 0, 0, 0, nullptr), E_POINTER);
}

TEST(UserEventData, HostNotificationsLeaveTheEditsAlone) {
  auto edits = make_com<UserEventData>();
  const TickPosition p{10, 2};
  edits->Add(&p, AddedBeats);
  EXPECT_EQ(edits->OnDataInserted(2, 0, 100), S_OK);
  EXPECT_EQ(edits->OnDataRemoved(2, 0, 100), S_OK);
  EXPECT_EQ(edits->OnRecordsChanged(0, 5), S_OK);
  EXPECT_EQ(contents(*edits, AddedBeats), std::vector<TickPosition>{p});
}

TEST(UserEventData, TypeIdIsTheExtensionModuleWithLocalNumberTwo) {
  auto app = make_com<test_support::FakeApplication>(
      std::vector<std::pair<GUID, std::uint16_t>>{{HRV::GUID_HRVEnumObj, 0x0011}, {HRV::GUID_HRVDocumentObj, 0x0230}});
  auto edits = make_com<UserEventData>();
  std::uint32_t id = 0;
  {
    test_support::InstalledApplication installed(app.get());
    EXPECT_EQ(edits->GetTypeId(&id), S_OK);
    EXPECT_EQ(id, 0x02300002u);
    EXPECT_EQ(edits->GetTypeId(nullptr), E_POINTER);
  }
  EXPECT_EQ(edits->GetTypeId(&id), E_UNEXPECTED);  // no host: nothing to build the id from
}

}  // namespace
