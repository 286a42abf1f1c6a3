// SPDX-License-Identifier: MIT
// QueryInterface on every object the library hands the host: one identity, every offered
// interface reachable from every other, nothing offered that the object is not, the
// documented answers for a null out pointer and an unknown interface, and no reference
// left behind by the probing.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sdk/hrv/beat_data.h"
#include "sdk/hrv/documents.h"
#include "validator_fixture.h"

namespace validator {
namespace {

struct Probe {
  const char* name;
  GUID iid;
};

// Every interface of the contract, the extension's own published ones included. The
// host's interfaces are in the list too: no extension object may claim them.
const Probe kProbes[] = {
    {"IClassFactory", IClassFactory::iid}, {"IDocumentClass", IDocumentClass::iid}, {"IClassObjectInfo", IClassObjectInfo::iid},
    {"ICalcEnumeratorClass", ICalcEnumeratorClass::iid}, {"ICalcEnumerator", ICalcEnumerator::iid},
    {"IMessageClass", IMessageClass::iid}, {"IExtensionDocument", IExtensionDocument::iid}, {"IMessageSink", IMessageSink::iid},
    {"ICommandTarget", ICommandTarget::iid}, {"IAnalysisClient", IAnalysisClient::iid},
    {"IOnlineDataSink", IOnlineDataSink::iid}, {"IPersist", IPersist::iid}, {"IPersistStreamInit", IPersistStreamInit::iid},
    {"IChartDataChildData", IChartDataChildData::iid}, {"IExtensionStrings", IExtensionStrings::iid},
    {"IHRVDocument", HRV::IHRVDocument::iid}, {"IHRVSettings", HRV::IHRVSettings::iid},
    {"IUserEventData", HRV::IUserEventData::iid}, {"IEventIdCache", HRV::IEventIdCache::iid},
    {"IApplication (host)", IApplication::iid}, {"IHostDocument (host)", IHostDocument::iid},
    {"IDocumentData (host)", IDocumentData::iid}, {"IChartData (host)", IChartData::iid},
    {"IByteStream (host)", IByteStream::iid},
};
constexpr GUID kNobodysInterface = make_guid("{0BADF00D-0000-4000-8000-000000000001}");

ComPtr<IUnknown> ask(IUnknown* from, const GUID& iid, HRESULT* result = nullptr) {
  ComPtr<IUnknown> out;
  const HRESULT hr = from->QueryInterface(iid, out.put_void());
  if (result) *result = hr;
  return out;
}

// Checks the QueryInterface rules on `object`; `expected` names the interfaces it must offer.
void check_identity(const std::string& what, IUnknown* object, const std::vector<std::string>& expected) {
  SCOPED_TRACE(what);
  const ULONG before = fake_host::ref_count(object);
  {
    const ComPtr<IUnknown> identity = ask(object, IUnknown::iid);
    ASSERT_TRUE(identity);
    struct Offered {
      const Probe& probe;
      ComPtr<IUnknown> pointer;
    };
    std::vector<Offered> offered;
    for (const Probe& p : kProbes) {
      HRESULT hr = S_OK;
      ComPtr<IUnknown> got = ask(object, p.iid, &hr);
      if (got) {
        EXPECT_EQ(hr, S_OK) << p.name;
        offered.push_back({p, got});
      } else {
        EXPECT_EQ(hr, E_NOINTERFACE) << p.name;
      }
    }
    for (const std::string& name : expected)
      EXPECT_TRUE(std::any_of(offered.begin(), offered.end(), [&](const Offered& o) { return o.probe.name == name; }))
          << "does not offer " << name;
    for (const Offered& from : offered) {
      const std::string name = from.probe.name;
      EXPECT_EQ(name.find("(host)"), std::string::npos) << "claims the host's " << name;
      EXPECT_EQ(ask(from.pointer.get(), IUnknown::iid).get(), identity.get()) << "identity differs through " << name;
      for (const Offered& to : offered)
        EXPECT_TRUE(ask(from.pointer.get(), to.probe.iid)) << to.probe.name << " not reachable from " << name;
      void* none = &none;
      EXPECT_EQ(from.pointer->QueryInterface(kNobodysInterface, &none), E_NOINTERFACE) << name;
      EXPECT_EQ(none, nullptr) << "an unknown interface must clear the out pointer";
      EXPECT_EQ(from.pointer->QueryInterface(IUnknown::iid, nullptr), E_POINTER) << name;
    }
  }
  EXPECT_EQ(fake_host::ref_count(object), before) << "probing left references behind";
}

TEST_F(LibraryTest, RegisteredObjectsKeepOneIdentity) {
  for (const auto& object : app->classes->objects) {
    Bstr name;
    object.query<IClassObjectInfo>()->GetDisplayName(name.put());
    check_identity(name.utf8(), object.get(), {"IClassObjectInfo"});
  }
  for (const auto& message : app->messages->classes) check_identity("message class", message.get(), {"IMessageClass"});
  check_identity("document class", documentClass.get(), {"IDocumentClass", "IClassFactory", "IClassObjectInfo"});
}

TEST_F(LibraryTest, DocumentAndTheObjectsItHandsOutKeepOneIdentity) {
  fake_host::HostDocument& host = new_host();
  ComPtr<IExtensionDocument> document = open_document(host);
  ASSERT_TRUE(document);
  execute(document.get(), host, "HRV|Analyse");
  ASSERT_EQ(host.chart->children.size(), 2u);

  check_identity("document", document.get(),
                 {"IExtensionDocument", "IMessageSink", "ICommandTarget", "IAnalysisClient", "IOnlineDataSink", "IHRVDocument"});
  ComPtr<IPersist> settings, edits;
  ASSERT_EQ(document->GetPersistedObject(0, kPersistedObjectKind, settings.put()), S_OK);
  ASSERT_EQ(document->GetPersistedObject(1, kPersistedObjectKind, edits.put()), S_OK);
  check_identity("settings", settings.get(), {"IPersist", "IPersistStreamInit", "IHRVSettings"});
  check_identity("beat edits", edits.get(), {"IPersist", "IPersistStreamInit"});
  for (const auto& [type, child] : host.chart->children) check_identity("chart child " + std::to_string(type), child.get(), {"IChartDataChildData"});
  check_identity("menu strings", menus->strings.get(), {"IExtensionStrings"});
  EXPECT_EQ(document->Close(), S_OK);
}

}  // namespace
}  // namespace validator
