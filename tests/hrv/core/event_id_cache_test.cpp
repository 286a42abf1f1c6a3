// SPDX-License-Identifier: MIT
#include "hrv/core/event_id_cache.h"

#include <gtest/gtest.h>

#include "fake_host_application.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"

namespace {

TEST(EventIdCache, KeepsTheLastNumberPerRecordAndAnswersAbsentRecordsWithZero) {
  auto cache = make_com<HRV::EventIdCache>();
  std::uint32_t number = 99;
  VARIANT_BOOL empty = VARIANT_FALSE;
  EXPECT_EQ(cache->IsEmpty(&empty), S_OK);
  EXPECT_EQ(empty, VARIANT_TRUE);
  EXPECT_EQ(cache->GetLastBeatNumber(3, &number), S_FALSE);
  EXPECT_EQ(number, 0u);
  EXPECT_EQ(cache->SetLastBeatNumber(3, 120), S_OK);
  EXPECT_EQ(cache->SetLastBeatNumber(-1, 7), S_OK);
  EXPECT_EQ(cache->SetLastBeatNumber(3, 4), S_OK);  // overwritten, even with a smaller number
  EXPECT_EQ(cache->GetLastBeatNumber(3, &number), S_OK);
  EXPECT_EQ(number, 4u);
  EXPECT_EQ(cache->GetLastBeatNumber(-1, &number), S_OK);
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(cache->GetLastBeatNumber(4, nullptr), S_FALSE);
  EXPECT_EQ(cache->IsEmpty(&empty), S_FALSE);
  EXPECT_EQ(cache->Clear(), S_OK);
  EXPECT_EQ(cache->GetLastBeatNumber(3, nullptr), S_FALSE);
}

TEST(EventIdCache, CloneIsAnIndependentDeepCopy) {
  auto cache = make_com<HRV::EventIdCache>();
  cache->SetLastBeatNumber(3, 120);
  ComPtr<IChartDataChildData> copy;
  ASSERT_EQ(cache->Clone(0, 0, 0, 0, 0, 0, copy.put()), S_OK);
  auto copyCache = copy.query<HRV::IEventIdCache>();
  ASSERT_TRUE(copyCache);
  cache->SetLastBeatNumber(3, 1);
  cache->SetLastBeatNumber(4, 130);
  std::uint32_t number = 0;
  EXPECT_EQ(copyCache->GetLastBeatNumber(3, &number), S_OK);
  EXPECT_EQ(number, 120u);
  EXPECT_EQ(copyCache->GetLastBeatNumber(4, &number), S_FALSE);
  copyCache->Clear();
  EXPECT_EQ(cache->GetLastBeatNumber(4, &number), S_OK);
}

TEST(EventIdCache, TypeIdIsTheDocumentModuleWithLocalNumberThree) {
  auto app = make_com<fake_host::Application>();
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
  app->module_id(HRV::GUID_HRVEnumObj);  // another family first, so the ids differ
  std::uint32_t id = 0;
  EXPECT_EQ(make_com<HRV::EventIdCache>()->GetTypeId(&id), S_OK);
  EXPECT_EQ(id, std::uint32_t{app->module_id(HRV::GUID_HRVDocumentObj)} << 16 | 3);
  HRV::HostContext::instance().set_application(nullptr);
}

}  // namespace
