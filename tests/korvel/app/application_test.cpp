// SPDX-License-Identifier: MIT
#include "korvel/app/application.h"

#include <gtest/gtest.h>

#include <tuple>

#include "korvel/app/extension_loader.h"
#include "sdk/cpp/out_param.h"
#include "sdk/host/calc_enumerator.h"

namespace korvel::app {
namespace {

constexpr GUID kFamilyA = make_guid("{11111111-2222-3333-4444-555555555501}");
constexpr GUID kCategory = make_guid("{11111111-2222-3333-4444-555555555503}");

// Describes itself; a factory unless `Extra` makes it an enumerator class.
template <class... Extra>
class TestClass : public ComObject<IClassObjectInfo, Extra...> {
 public:
  HRESULT GetDisplayName(BSTR* name) override { return copy_text(std::string_view("Test Class"), name); }
  HRESULT GetInternalName(BSTR* name) override { return copy_text(std::string_view("TestClass"), name); }
  HRESULT GetClassId(GUID* id) override { return copy_out(kFamilyA, id); }
  HRESULT GetCategory(GUID* category) override { return copy_out(kCategory, category); }
  HRESULT GetTypeId(std::uint32_t* type) override { return copy_out(0x12340005u, type); }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out(0x201u, flags); }
};

const char16_t* const kNames[] = {u"Signal"};
const CalcParameterKind kKinds[] = {kCalcSampledInput};
const CalcParameterRange kRanges[] = {{0, 0}, kCalcRangeEnd};
const CalcParameterRange kUnterminated[] = {{0, 0}, {0, 0}};

class EnumeratorClass final : public TestClass<ICalcEnumeratorClass> {
 public:
  explicit EnumeratorClass(const char16_t* function, const CalcParameterRange* ranges = kRanges)
      : description_{u"E", u"test", function, kNames, kKinds, 1, ranges, u"Out", 0, 8} {}
  HRESULT GetDescription(const CalcEnumeratorDescription** d) override { return copy_out<const CalcEnumeratorDescription*>(&description_, d); }
  HRESULT CreateEnumerator(const char16_t*, ICalcEnumerator**) override { return E_NOTIMPL; }

 private:
  CalcEnumeratorDescription description_;
};

class Message final : public ComObject<IMessageClass> {
 public:
  explicit Message(const char* name) : name_(name) {}
  HRESULT GetPrefix(BSTR* prefix) override { return copy_text(std::string_view("HRV"), prefix); }
  HRESULT GetName(BSTR* name) override { return copy_text(std::string_view(name_), name); }
  HRESULT GetDescription(BSTR* description) override { return copy_text(std::string_view(""), description); }
  HRESULT GetMessageType(std::uint32_t* type) override { return copy_out(0x10000001u, type); }
  HRESULT ParseArguments(std::uint32_t, const BSTR*, std::uint32_t, BSTR*) override { return S_OK; }

 private:
  const char* name_;
};

TEST(ExtensionRegistry, RefusesWhatItCannotUseWithTheDocumentedResults) {
  auto app = make_com<Application>();
  ComPtr<IClassObjectRegistry> registry;
  app->GetClassObjectRegistry(registry.put());
  registry->RegisterClassObject(make_com<EnumeratorClass>(u"Fiducial")->identity());

  EXPECT_EQ(registry->RegisterClassObject(nullptr), E_POINTER);
  EXPECT_EQ(registry->RegisterClassObject(make_com<Message>("x")->identity()), E_NOINTERFACE);  // no IClassObjectInfo
  EXPECT_EQ(registry->RegisterClassObject(make_com<TestClass<>>()->identity()), E_NOINTERFACE);  // neither kind
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"fiducial")->identity()), E_INVALIDARG);  // taken
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"Lowpass")->identity()), E_INVALIDARG);  // the host's
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"Bad", kUnterminated)->identity()), E_INVALIDARG);
  EXPECT_EQ(registry->RegisterClassObject(make_com<EnumeratorClass>(u"two words")->identity()), E_INVALIDARG);
  EXPECT_EQ(app->extensions()->classes().size(), 1u);
  EXPECT_TRUE(app->extensions()->find_enumerator_class("FIDUCIAL")) << "function names are found without regard to case";
  EXPECT_FALSE(app->extensions()->find_enumerator_class("fiducia"));
}

TEST(ExtensionRegistry, KeepsMessageClassesOncePerPrefixAndName) {
  auto app = make_com<Application>();
  ComPtr<IMessageClassRegistry> registry;
  ASSERT_EQ(app->GetMessageClassRegistry(registry.put()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>("HRV_Analyze").get()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>("HRV_ClearAnalysis").get()), S_OK);
  EXPECT_EQ(registry->RegisterMessageClass(make_com<Message>("HRV_Analyze").get()), E_INVALIDARG);
  ASSERT_EQ(app->extensions()->message_classes().size(), 2u);
  EXPECT_EQ(app->extensions()->message_classes()[1].name, "HRV_ClearAnalysis");
  EXPECT_EQ(app->extensions()->message_classes()[1].type, 0x10000001u);
}

// The loader's failures, each naming the library, the step and the reason.
TEST(ExtensionLoader, NamesTheLibraryAndTheFailingStep) {
  const std::string no_entry = PROBE_NO_ENTRY_PATH, refused = PROBE_FAILING_ENTRY_PATH;
  struct Case {
    std::string path;
    LoadStep step;
    std::vector<std::string> parts;  // of the message; the last ones are the system loader's reason
  };
  const Case cases[] = {
      {"/nonexistent/libnothing.so", LoadStep::Open, {"cannot load extension '/nonexistent/libnothing.so': ", "No such file"}},
      {no_entry, LoadStep::FindEntry, {"extension '" + no_entry + "' does not export DllRegisterClassObjects: ", "undefined symbol"}},
      {refused, LoadStep::Register, {"DllRegisterClassObjects of extension '" + refused + "' failed with 0x80004004"}},
  };
  for (const Case& c : cases) {
    try {
      make_com<Application>()->load_extension(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const ExtensionLoadError& e) {
      EXPECT_EQ(e.step(), c.step) << c.path;
      for (const std::string& part : c.parts) EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace korvel::app
