// SPDX-License-Identifier: MIT
#include "hrv/host/registration.h"

#include <gtest/gtest.h>

#include "fake_host_application.h"
#include "fake_host_document.h"
#include "hrv/core/hrv_document_interface.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "sdk/host/calc_enumerator.h"

namespace {

std::string display_name(IUnknown* object) {
  auto info = ComPtr<IUnknown>::retain(object).query<IClassObjectInfo>();
  if (!info) return "(no IClassObjectInfo)";
  Bstr name;
  info->GetDisplayName(name.put());
  return name.utf8();
}

class RegistrationTest : public ::testing::Test {
 protected:
  void TearDown() override { HRV::HostContext::instance().set_application(nullptr); }
  ComPtr<fake_host::Application> app = make_com<fake_host::Application>();
};

TEST_F(RegistrationTest, NullHostOrNoApplicationRegistersNothing) {
  EXPECT_EQ(HRV::register_class_objects(nullptr), E_FAIL);
  auto notAnApplication = make_com<fake_host::ChartData>();
  EXPECT_EQ(HRV::register_class_objects(notAnApplication.get()), E_FAIL);
  app->withoutRegistries = true;
  EXPECT_EQ(HRV::register_class_objects(app.get()), E_FAIL);
  EXPECT_TRUE(app->classes->objects.empty());
  EXPECT_TRUE(app->messages->classes.empty());
  EXPECT_FALSE(HRV::HostContext::instance().application());
}

TEST_F(RegistrationTest, RegistersMacrosThenDocumentAndEnumeratorClassesInOrder) {
  ASSERT_EQ(HRV::register_class_objects(app.get()), S_OK);
  EXPECT_EQ(HRV::HostContext::instance().application().get(), app.get());

  std::vector<std::string> macros;
  for (const auto& m : app->messages->classes) {
    Bstr name;
    m->GetName(name.put());
    macros.push_back(name.utf8());
  }
  EXPECT_EQ(macros, (std::vector<std::string>{"HRV_Analyze", "HRV_ClearAnalysis", "HRV_ReselectAnalyzedRegion",
                                              "HRV_ToggleOnlineMode", "HRV_ToggleEventMarkers"}));

  const auto& classes = app->classes->objects;
  ASSERT_EQ(classes.size(), HRV::static_class_objects().size() + 3);
  const std::size_t first = HRV::static_class_objects().size();
  EXPECT_EQ(display_name(classes[first].get()), "HRV2 Document");
  EXPECT_EQ(display_name(classes[first + 1].get()), "HRVFiducialEnum");
  EXPECT_EQ(display_name(classes[first + 2].get()), "HRVSelectorEnum");
  EXPECT_TRUE(classes[first + 1].query<ICalcEnumeratorClass>());
  EXPECT_TRUE(classes[first + 2].query<ICalcEnumeratorClass>());
}

TEST_F(RegistrationTest, DocumentClassDescribesItselfAndNeedsAHostDocument) {
  ASSERT_EQ(HRV::register_class_objects(app.get()), S_OK);
  const auto& object = app->classes->objects[HRV::static_class_objects().size()];
  auto info = object.query<IClassObjectInfo>();
  auto factory = object.query<IDocumentClass>();
  ASSERT_TRUE(info && factory);
  GUID id{}, category{};
  std::uint32_t flags = 0, type = 7;
  EXPECT_EQ(info->GetClassId(&id), S_OK);
  EXPECT_EQ(id, HRV::GUID_HRVDocumentObj);
  EXPECT_EQ(info->GetCategory(&category), S_OK);
  EXPECT_EQ(category, kDocumentCategory);
  EXPECT_EQ(info->GetFlags(&flags), S_OK);
  EXPECT_EQ(flags, 1u);
  EXPECT_EQ(info->GetTypeId(&type), S_OK);
  EXPECT_EQ(type, 0u);

  void* out = &out;
  EXPECT_EQ(factory->CreateInstance(nullptr, IUnknown::iid, &out), E_NOTIMPL);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateDocument(nullptr, IUnknown::iid, &out), E_POINTER);
  auto host = make_com<fake_host::HostDocument>();
  EXPECT_EQ(factory->CreateDocument(host.get(), IUnknown::iid, nullptr), E_POINTER);
  EXPECT_EQ(factory->CreateDocument(host.get(), IClassFactory::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IExtensionDocument> document;
  ASSERT_EQ(factory->CreateDocument(host.get(), IExtensionDocument::iid, document.put_void()), S_OK);
  EXPECT_TRUE(document.query<HRV::IHRVDocument>());
  EXPECT_TRUE(document.query<IOnlineDataSink>());
  EXPECT_TRUE(document.query<ICommandTarget>());
  EXPECT_TRUE(document.query<IMessageSink>());
  EXPECT_TRUE(document.query<IAnalysisClient>());
}

}  // namespace
