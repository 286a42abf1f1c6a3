// SPDX-License-Identifier: MIT
#include "hrv/core/event_id_cache.h"

#include <gtest/gtest.h>

#include "hrv/host/guids.h"
#include "tests/hrv/host/fake_application.h"

namespace {

using HRV::EventIdCache;

TEST(EventIdCache, StoresOverwritesAndReportsAbsentRecordsAsZero) {
  auto cache = make_com<EventIdCache>();
  std::uint32_t number = 99;
  EXPECT_EQ(cache->GetLastBeatNumber(3, &number), S_FALSE);
  EXPECT_EQ(number, 0u);
  EXPECT_EQ(cache->SetLastBeatNumber(3, 120), S_OK);
  EXPECT_EQ(cache->SetLastBeatNumber(-1, 7), S_OK);
  EXPECT_EQ(cache->GetLastBeatNumber(3, &number), S_OK);
  EXPECT_EQ(number, 120u);
  EXPECT_EQ(cache->SetLastBeatNumber(3, 4), S_OK);  // overwrite, even with a smaller number
  EXPECT_EQ(cache->GetLastBeatNumber(3, &number), S_OK);
  EXPECT_EQ(number, 4u);
  EXPECT_EQ(cache->GetLastBeatNumber(-1, &number), S_OK);
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(cache->GetLastBeatNumber(4, nullptr), S_FALSE);
  EXPECT_EQ(cache->GetLastBeatNumber(3, nullptr), S_OK);
}

TEST(EventIdCache, IsEmptyAndClear) {
  auto cache = make_com<EventIdCache>();
  VARIANT_BOOL empty = VARIANT_FALSE;
  EXPECT_EQ(cache->IsEmpty(&empty), S_OK);
  EXPECT_EQ(empty, VARIANT_TRUE);
  cache->SetLastBeatNumber(0, 0);
  EXPECT_EQ(cache->IsEmpty(&empty), S_FALSE);
  EXPECT_EQ(empty, VARIANT_FALSE);
  EXPECT_EQ(cache->Clear(), S_OK);
  EXPECT_EQ(cache->IsEmpty(nullptr), S_OK);
  EXPECT_EQ(cache->GetLastBeatNumber(0, nullptr), S_FALSE);
}

TEST(EventIdCache, CloneIsAnIndependentDeepCopy) {
  auto cache = make_com<EventIdCache>();
  cache->SetLastBeatNumber(3, 120);
  ComPtr<IChartDataChildData> copy;
  ASSERT_EQ(cache->Clone(0, 0, 0, 0, 0, 0, copy.put()), S_OK);
  auto copyCache = copy.query<HRV::IEventIdCache>();
  ASSERT_TRUE(copyCache);
  EXPECT_EQ(copy->AddRef(), 3u);  // one from Clone, one from query, this one
  copy->Release();
  cache->SetLastBeatNumber(3, 1);
  cache->SetLastBeatNumber(4, 130);
  std::uint32_t number = 0;
  EXPECT_EQ(copyCache->GetLastBeatNumber(3, &number), S_OK);
  EXPECT_EQ(number, 120u);
  EXPECT_EQ(copyCache->GetLastBeatNumber(4, &number), S_FALSE);
  copyCache->Clear();
  EXPECT_EQ(cache->GetLastBeatNumber(4, &number), S_OK);
  EXPECT_EQ(number, 130u);
  EXPECT_EQ(cache->Clone(0, 0, 0, 0, 0, 0, nullptr), E_POINTER);
}

TEST(EventIdCache, TypeIdIsTheExtensionModuleWithLocalNumberThree) {
  auto app = make_com<test_support::FakeApplication>(std::vector<std::pair<GUID, std::uint16_t>>{{HRV::GUID_HRVDocumentObj, 0x7001}});
  test_support::InstalledApplication installed(app.get());
  auto cache = make_com<EventIdCache>();
  std::uint32_t id = 0;
  EXPECT_EQ(cache->GetTypeId(&id), S_OK);
  EXPECT_EQ(id, 0x70010003u);
  EXPECT_EQ(cache->OnDataInserted(0, 0, 1), S_OK);
  EXPECT_EQ(cache->OnDataRemoved(0, 0, 1), S_OK);
  EXPECT_EQ(cache->OnRecordsChanged(0, 1), S_OK);
}

}  // namespace
