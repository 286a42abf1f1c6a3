// SPDX-License-Identifier: MIT
#include "hrv/host/host_context.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "hrv/host/guids.h"
#include "sdk/cpp/hresult_error.h"
#include "tests/hrv/host/fake_application.h"

namespace {

using HRV::GUID_HRVDocumentObj;
using HRV::GUID_HRVEnumObj;
using HRV::HostContext;
using test_support::FakeApplication;
using test_support::InstalledApplication;

// Any failure code of the host's own choosing.
constexpr HRESULT kHostRefusal = make_hresult(0x80070005);

ComPtr<FakeApplication> fake_host() {
  return make_com<FakeApplication>(std::vector<std::pair<GUID, std::uint16_t>>{{GUID_HRVDocumentObj, 0x0042}, {GUID_HRVEnumObj, 0x0107}});
}

HRESULT lookup_error(const GUID& family) {
  try {
    HostContext::instance().module_id(family);
  } catch (const HResultError& e) {
    return e.code();
  }
  return S_OK;
}

TEST(HostContext, AsksTheHostOncePerFamilyAndAnswersFromTheCache) {
  auto app = fake_host();
  InstalledApplication installed(app.get());
  auto& context = HostContext::instance();
  EXPECT_EQ(context.module_id(GUID_HRVDocumentObj), 0x0042);
  EXPECT_EQ(context.module_id(GUID_HRVEnumObj), 0x0107);
  EXPECT_EQ(context.module_id(GUID_HRVDocumentObj), 0x0042);
  EXPECT_EQ(context.module_id(GUID_HRVEnumObj), 0x0107);
  EXPECT_EQ(app->lookups.load(), 2);
}

TEST(HostContext, LookupWithoutApplicationIsUnexpected) {
  HostContext::instance().set_application(nullptr);
  EXPECT_EQ(lookup_error(GUID_HRVDocumentObj), E_UNEXPECTED);
  EXPECT_FALSE(HostContext::instance().application());
}

TEST(HostContext, RefusalCarriesTheHostCodeAndIsNotCached) {
  auto app = fake_host();
  InstalledApplication installed(app.get());
  app->refusal = kHostRefusal;
  EXPECT_EQ(lookup_error(GUID_HRVEnumObj), kHostRefusal);
  app->refusal = S_OK;
  EXPECT_EQ(HostContext::instance().module_id(GUID_HRVEnumObj), 0x0107);
  EXPECT_EQ(app->lookups.load(), 2);
}

TEST(HostContext, NewApplicationIsAskedAgain) {
  auto first = fake_host();
  auto second = make_com<FakeApplication>(std::vector<std::pair<GUID, std::uint16_t>>{{GUID_HRVDocumentObj, 0x0009}});
  {
    InstalledApplication installed(first.get());
    EXPECT_EQ(HostContext::instance().module_id(GUID_HRVDocumentObj), 0x0042);
  }
  InstalledApplication installed(second.get());
  EXPECT_EQ(HostContext::instance().application().get(), second.get());
  EXPECT_EQ(HostContext::instance().module_id(GUID_HRVDocumentObj), 0x0009);
  EXPECT_EQ(second->lookups.load(), 1);
}

TEST(HostContext, ConcurrentFirstLookupsAskTheHostOnce) {
  auto app = fake_host();
  app->answer_delay = std::chrono::milliseconds(20);
  InstalledApplication installed(app.get());
  std::vector<std::uint16_t> ids(6, 0);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < ids.size(); ++i)
    threads.emplace_back([&ids, i] { ids[i] = HostContext::instance().module_id(GUID_HRVEnumObj); });
  for (auto& t : threads) t.join();
  for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], 0x0107) << "thread " << i;
  EXPECT_EQ(app->lookups.load(), 1);
}

TEST(TypeId, ModuleIdFillsTheHighHalf) {
  static_assert(HRV::make_type_id(0x1234, 2) == 0x12340002u);
  EXPECT_EQ(HRV::make_type_id(0xFFFF, 0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(HRV::make_type_id(0x0001, 0), 0x00010000u);
  EXPECT_EQ(HRV::make_type_id(0, 0x8001), 0x00008001u);
}

}  // namespace
