// SPDX-License-Identifier: MIT
#include "hrv/host/host_context.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fake_host_application.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/hresult_error.h"

namespace {

using HRV::GUID_HRVDocumentObj;
using HRV::GUID_HRVEnumObj;
using HRV::HostContext;

HRESULT lookup_error(const GUID& family) {
  try {
    HostContext::instance().module_id(family);
  } catch (const HResultError& e) {
    return e.code();
  }
  return S_OK;
}

class HostContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    document = app->module_id(GUID_HRVDocumentObj);
    enumerator = app->module_id(GUID_HRVEnumObj);
    app->lookups = 0;
    HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
  }
  void TearDown() override { HostContext::instance().set_application(nullptr); }
  ComPtr<fake_host::Application> app = make_com<fake_host::Application>();
  std::uint16_t document = 0, enumerator = 0;
};

TEST_F(HostContextTest, AsksTheHostOncePerFamilyAndAnswersFromTheCache) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(HostContext::instance().module_id(GUID_HRVDocumentObj), document);
    EXPECT_EQ(HostContext::instance().module_id(GUID_HRVEnumObj), enumerator);
  }
  EXPECT_EQ(app->lookups.load(), 2);
}

TEST_F(HostContextTest, ARefusalCarriesTheHostCodeAndIsNotCached) {
  app->refusal = make_hresult(0x80070005);
  EXPECT_EQ(lookup_error(GUID_HRVEnumObj), make_hresult(0x80070005));
  app->refusal = S_OK;
  EXPECT_EQ(HostContext::instance().module_id(GUID_HRVEnumObj), enumerator);
  HostContext::instance().set_application(nullptr);
  EXPECT_EQ(lookup_error(GUID_HRVEnumObj), E_UNEXPECTED);
}

TEST_F(HostContextTest, ANewApplicationIsAskedAgain) {
  EXPECT_EQ(HostContext::instance().module_id(GUID_HRVEnumObj), enumerator);
  auto second = make_com<fake_host::Application>();  // numbers the enumerator family first
  HostContext::instance().set_application(ComPtr<IApplication>::retain(second.get()));
  EXPECT_EQ(HostContext::instance().module_id(GUID_HRVEnumObj), second->module_id(GUID_HRVEnumObj));
  EXPECT_NE(second->module_id(GUID_HRVEnumObj), enumerator);
}

TEST_F(HostContextTest, ConcurrentFirstLookupsAskTheHostOnce) {
  app->answerDelay = std::chrono::milliseconds(20);  // widens the window in which threads could overlap
  std::vector<std::uint16_t> ids(6, 0);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < ids.size(); ++i)
    threads.emplace_back([&ids, i] { ids[i] = HostContext::instance().module_id(GUID_HRVEnumObj); });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ids, std::vector<std::uint16_t>(6, enumerator));
  EXPECT_EQ(app->lookups.load(), 1);
}

}  // namespace
