// SPDX-License-Identifier: MIT
// Loading and registration: what DllRegisterClassObjects hands the host, and that it
// refuses a missing host.
#include <algorithm>
#include <string>

#include "validator_fixture.h"

namespace validator {
namespace {

std::string text_of(HRESULT (IClassObjectInfo::*get)(BSTR*), IClassObjectInfo& info) {
  Bstr text;
  EXPECT_EQ((info.*get)(text.put()), S_OK);
  return text.utf8();
}

TEST(Loading, RegistrationRefusesANullHostAndAnObjectThatIsNoApplication) {
  LoadedLibrary library(HRV_LIBRARY_PATH);
  ASSERT_TRUE(library.ok()) << library.error();
  EXPECT_EQ(library.register_with(nullptr), E_FAIL);
  auto notAnApplication = make_com<fake_host::ChartData>();
  EXPECT_EQ(library.register_with(notAnApplication.get()), E_FAIL);
  EXPECT_EQ(fake_host::ref_count(notAnApplication.get()), 1u) << "the library kept a reference to a refused host";
  auto withoutRegistries = make_com<fake_host::Application>();
  withoutRegistries->withoutRegistries = true;
  EXPECT_EQ(library.register_with(static_cast<IApplication*>(withoutRegistries.get())), E_FAIL);
  EXPECT_EQ(fake_host::ref_count(static_cast<IApplication*>(withoutRegistries.get())), 1u)
      << "the library kept an application it could not register with";
}

TEST_F(LibraryTest, EveryClassObjectDescribesItselfAndIsAFactoryOrAnEnumeratorClass) {
  ASSERT_FALSE(app->classes->objects.empty());
  for (const auto& object : app->classes->objects) {
    auto info = object.query<IClassObjectInfo>();
    ASSERT_TRUE(info);
    const std::string name = text_of(&IClassObjectInfo::GetDisplayName, *info);
    SCOPED_TRACE(name);
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(text_of(&IClassObjectInfo::GetInternalName, *info).empty());
    GUID id{}, category{};
    std::uint32_t type = 0, flags = 0;
    EXPECT_EQ(info->GetClassId(&id), S_OK);
    EXPECT_EQ(info->GetCategory(&category), S_OK);
    EXPECT_EQ(info->GetTypeId(&type), S_OK);
    EXPECT_EQ(info->GetFlags(&flags), S_OK);
    auto enumerator = object.query<ICalcEnumeratorClass>();
    EXPECT_TRUE(enumerator || object.query<IClassFactory>());
    if (!enumerator) continue;
    const CalcEnumeratorDescription* d = nullptr;
    ASSERT_EQ(enumerator->GetDescription(&d), S_OK);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(utf16_to_utf8(d->name), name);
    EXPECT_GE(d->eventSize, sizeof(CalcEventHeader));
    ASSERT_GT(d->parameterCount, 0u);
    for (std::uint32_t i = 0; i < d->parameterCount; ++i) EXPECT_NE(d->parameterNames[i], nullptr) << i;
    EXPECT_EQ(d->ranges[d->parameterCount].min, kCalcRangeEnd.min) << "range table must end after the parameters";
    EXPECT_EQ(d->ranges[d->parameterCount].max, kCalcRangeEnd.max);
  }
}

TEST_F(LibraryTest, DocumentClassComesBeforeTheEnumeratorClassesAndMacrosAreRegisteredInOrder) {
  std::vector<std::string> names;
  for (const auto& object : app->classes->objects)
    names.push_back(text_of(&IClassObjectInfo::GetDisplayName, *object.query<IClassObjectInfo>()));
  const auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  const auto document = at("HRV2 Document"), fiducial = at("HRVFiducialEnum"), selector = at("HRVSelectorEnum");
  ASSERT_LT(selector, static_cast<std::ptrdiff_t>(names.size()));
  EXPECT_EQ(fiducial, document + 1);
  EXPECT_EQ(selector, document + 2);
  // The document class: found by its category; its flags and class id as the host keeps them.
  auto info = documentClass.query<IClassObjectInfo>();
  std::uint32_t flags = 0, typeId = 1;
  EXPECT_EQ(info->GetFlags(&flags), S_OK);
  EXPECT_EQ(flags, 1u);
  EXPECT_EQ(info->GetTypeId(&typeId), S_OK);
  EXPECT_EQ(typeId, 0u);
  EXPECT_EQ(documentClassId, make_guid("{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}"));

  const char* macros[] = {"HRV_Analyze", "HRV_ClearAnalysis", "HRV_ReselectAnalyzedRegion", "HRV_ToggleOnlineMode",
                          "HRV_ToggleEventMarkers"};
  ASSERT_EQ(app->messages->classes.size(), std::size(macros));
  for (std::size_t i = 0; i < std::size(macros); ++i) {
    auto& m = *app->messages->classes[i];
    Bstr prefix, name;
    std::uint32_t type = 0;
    EXPECT_EQ(m.GetPrefix(prefix.put()), S_OK);
    EXPECT_EQ(m.GetName(name.put()), S_OK);
    EXPECT_EQ(m.GetMessageType(&type), S_OK);
    EXPECT_EQ(prefix.utf8(), "HRV");
    EXPECT_EQ(name.utf8(), macros[i]);
    EXPECT_EQ(type, std::uint32_t{module_id()} << 16 | (0x100u + static_cast<std::uint32_t>(i))) << macros[i];
  }
}

TEST_F(LibraryTest, UnloadingLetsGoOfTheApplication) {
  unload();
  EXPECT_EQ(fake_host::ref_count(static_cast<IApplication*>(app.get())), 1u) << "the library still holds the application";
}

}  // namespace
}  // namespace validator
