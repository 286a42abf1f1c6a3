// SPDX-License-Identifier: MIT
#include "korvel/app/application.h"

#include <gtest/gtest.h>

#include "korvel/app/extension_loader.h"
#include "korvel/app/module_ids.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/calc_enumerator.h"

namespace korvel::app {
namespace {

constexpr GUID kFamilyA = make_guid("{11111111-2222-3333-4444-555555555501}");
constexpr GUID kFamilyB = make_guid("{11111111-2222-3333-4444-555555555502}");
constexpr GUID kCategory = make_guid("{11111111-2222-3333-4444-555555555503}");

HRESULT put(const char16_t* s, BSTR* out) {
  *out = SysAllocString(s);
  return S_OK;
}

// Describes itself; a factory unless `Extra` makes it an enumerator class.
template <class... Extra>
class TestClass : public ComObject<IClassObjectInfo, Extra...> {
 public:
  HRESULT GetDisplayName(BSTR* name) override { return put(u"Test Class", name); }
  HRESULT GetInternalName(BSTR* name) override { return put(u"TestClass", name); }
  HRESULT GetClassId(GUID* id) override {
    *id = kFamilyA;
    return S_OK;
  }
  HRESULT GetCategory(GUID* category) override {
    *category = kCategory;
    return S_OK;
  }
  HRESULT GetTypeId(std::uint32_t* type) override {
    *type = 0x12340005;
    return S_OK;
  }
  HRESULT GetFlags(std::uint32_t* flags) override {
    *flags = 0x201;
    return S_OK;
  }
};

class Factory final : public TestClass<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void**) override { return E_NOTIMPL; }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
};

const char16_t* const kNames[] = {u"Signal"};
const CalcParameterKind kKinds[] = {kCalcSampledInput};
const CalcParameterRange kRanges[] = {{0, 0}, kCalcRangeEnd};
const CalcParameterRange kUnterminated[] = {{0, 0}, {0, 0}};

class EnumeratorClass final : public TestClass<ICalcEnumeratorClass> {
 public:
  explicit EnumeratorClass(const char16_t* function, const CalcParameterRange* ranges = kRanges)
      : description_{u"E", u"test", function, kNames, kKinds, 1, ranges, u"Out", 0, 8} {}
  HRESULT GetDescription(const CalcEnumeratorDescription** d) override {
    *d = &description_;
    return S_OK;
  }
  HRESULT CreateEnumerator(const char16_t*, ICalcEnumerator**) override { return E_NOTIMPL; }

 private:
  CalcEnumeratorDescription description_;
};

class Describer final : public ComObject<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown*, const GUID&, void**) override { return E_NOTIMPL; }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }
};

class Message final : public ComObject<IMessageClass> {
 public:
  explicit Message(const char16_t* name) : name_(name) {}
  HRESULT GetPrefix(BSTR* prefix) override { return put(u"HRV", prefix); }
  HRESULT GetName(BSTR* name) override { return put(name_, name); }
  HRESULT GetDescription(BSTR* description) override { return put(u"", description); }
  HRESULT GetMessageType(std::uint32_t* type) override {
    *type = 0x10000001;
    return S_OK;
  }
  HRESULT ParseArguments(std::uint32_t, const BSTR*, std::uint32_t, BSTR*) override { return S_OK; }

 private:
  const char16_t* name_;
};

TEST(ModuleIds, AreNonZeroDistinctAndStableAcrossApplications) {
  auto first = make_com<Application>();
  auto second = make_com<Application>();
  std::uint16_t a = 0, b = 0, again = 0;
  ASSERT_EQ(first->GetModuleId(kFamilyA, &a), S_OK);
  ASSERT_EQ(first->GetModuleId(kFamilyB, &b), S_OK);
  ASSERT_EQ(second->GetModuleId(kFamilyA, &again), S_OK);
  EXPECT_NE(a, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(a, again);
  EXPECT_EQ(module_id(kFamilyB), b);
  EXPECT_EQ(first->GetModuleId(kFamilyA, nullptr), E_POINTER);
}

TEST(ExtensionRegistry, KeepsClassObjectsByCategoryAndEnumeratorsByFunctionName) {
  auto app = make_com<Application>();
  ComPtr<IClassObjectRegistry> registry;
  ASSERT_EQ(app->GetClassObjectRegistry(registry.put()), S_OK);
  auto factory = make_com<Factory>();
  auto enumerator = make_com<EnumeratorClass>(u"Fiducial");
  EXPECT_EQ(registry->RegisterClassObject(factory->identity()), S_OK);
  EXPECT_EQ(registry->RegisterClassObject(enumerator->identity()), S_OK);

  const auto& registered = app->extensions()->classes();
  ASSERT_EQ(registered.size(), 2u);
  EXPECT_EQ(registered[0].display_name, "Test Class");
  EXPECT_EQ(registered[0].internal_name, "TestClass");
  EXPECT_EQ(registered[0].type_id, 0x12340005u);
  EXPECT_EQ(registered[0].flags, 0x201u);
  EXPECT_EQ(app->extensions()->classes_in(kCategory).size(), 2u);
  EXPECT_TRUE(app->extensions()->classes_in(kFamilyB).empty());
  EXPECT_EQ(app->extensions()->find_enumerator_class("FIDUCIAL").get(), static_cast<ICalcEnumeratorClass*>(enumerator.get()));
  EXPECT_FALSE(app->extensions()->find_enumerator_class("fiducia"));
}

TEST(ExtensionRegistry, RefusesWhatItCannotUseWithTheDocumentedResults) {
  auto app = make_com<Application>();
  ComPtr<IClassObjectRegistry> registry;
  app->GetClassObjectRegistry(registry.put());
  registry->RegisterClassObject(make_com<EnumeratorClass>(u"Fiducial")->identity());

  EXPECT_EQ(registry->RegisterClassObject(nullptr), E_POINTER);
  EXPECT_EQ(registry->RegisterClassObject(make_com<Describer>()->identity()), E_NOINTERFACE);  // no IClassObjectInfo
  EXPECT_EQ(registry->RegisterClassObject(make_com<TestClass<>>()->identity()), E_NOINTERFACE);  // neither kind
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"fiducial")->identity()), E_INVALIDARG);  // taken
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"Lowpass")->identity()), E_INVALIDARG);  // the host's
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"Bad", kUnterminated)->identity()), E_INVALIDARG);
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"two words")->identity()), E_INVALIDARG);
  EXPECT_EQ(app->extensions()->classes().size(), 1u);
}

TEST(ExtensionRegistry, KeepsMessageClassesOncePerPrefixAndName) {
  auto app = make_com<Application>();
  ComPtr<IMessageClassRegistry> registry;
  ASSERT_EQ(app->GetMessageClassRegistry(registry.put()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>(u"HRV_Analyze").get()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>(u"HRV_ClearAnalysis").get()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>(u"HRV_Analyze").get()), E_INVALIDARG);
  ASSERT_EQ(app->extensions()->message_classes().size(), 2u);
  EXPECT_EQ(app->extensions()->message_classes()[1].name, "HRV_ClearAnalysis");
  EXPECT_EQ(app->extensions()->message_classes()[1].type, 0x10000001u);
}

TEST(Application, AnswersMessageBoxesFromItsScriptThenWithOk) {
  auto app = make_com<Application>();
  app->message_boxes().script({kAnswerCancel});
  std::int32_t first = 0, second = 0;
  ASSERT_EQ(app->MessageBox(u"Analyse the selection?", u"HRV", 0x21, 0, &first), S_OK);
  ASSERT_EQ(app->MessageBox(u"Done", nullptr, 0, 0, &second), S_OK);
  EXPECT_EQ(first, kAnswerCancel);
  EXPECT_EQ(second, kAnswerOk);
  ASSERT_EQ(app->message_boxes().shown().size(), 2u);
  EXPECT_EQ(app->message_boxes().shown()[0].text, "Analyse the selection?");
  EXPECT_EQ(app->message_boxes().shown()[0].caption, "HRV");
  EXPECT_EQ(app->message_boxes().shown()[0].type, 0x21u);
}

// The loader's failures, each naming the library, the step and the reason.
ExtensionLoadError load_failure(const std::string& path) {
  auto app = make_com<Application>();
  try {
    app->load_extension(path);
  } catch (const ExtensionLoadError& e) {
    return e;
  }
  ADD_FAILURE() << path << " loaded";
  return ExtensionLoadError(LoadStep::Open, "");
}

TEST(ExtensionLoader, NamesTheLibraryAndTheFailingStep) {
  const ExtensionLoadError missing = load_failure("/nonexistent/libnothing.so");
  EXPECT_EQ(missing.step(), LoadStep::Open);
  EXPECT_NE(std::string(missing.what()).find("cannot load extension '/nonexistent/libnothing.so': "), std::string::npos) << missing.what();
  EXPECT_NE(std::string(missing.what()).find("No such file"), std::string::npos) << missing.what();  // the loader's own reason

  const ExtensionLoadError no_entry = load_failure(PROBE_NO_ENTRY_PATH);
  EXPECT_EQ(no_entry.step(), LoadStep::FindEntry);
  EXPECT_NE(std::string(no_entry.what()).find(std::string("extension '") + PROBE_NO_ENTRY_PATH + "' does not export DllRegisterClassObjects: "),
            std::string::npos)
      << no_entry.what();
  EXPECT_NE(std::string(no_entry.what()).find("undefined symbol"), std::string::npos) << no_entry.what();

  const ExtensionLoadError refused = load_failure(PROBE_FAILING_ENTRY_PATH);
  EXPECT_EQ(refused.step(), LoadStep::Register);
  EXPECT_EQ(std::string(refused.what()), std::string("DllRegisterClassObjects of extension '") + PROBE_FAILING_ENTRY_PATH + "' failed with 0x80004004");
}

}  // namespace
}  // namespace korvel::app
