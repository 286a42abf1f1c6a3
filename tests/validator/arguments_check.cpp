// SPDX-License-Identifier: MIT
// Null and out-of-range arguments get the results the contract documents, and nothing
// crashes on them.
#include "sdk/hrv/beat_data.h"
#include "validator_fixture.h"

namespace validator {
namespace {

TEST_F(LibraryTest, ClassObjectsAnswerNullOutPointers) {
  for (const auto& object : app->classes->objects) {
    auto info = object.query<IClassObjectInfo>();
    EXPECT_EQ(info->GetDisplayName(nullptr), E_POINTER);
    EXPECT_EQ(info->GetInternalName(nullptr), E_POINTER);
    EXPECT_EQ(info->GetClassId(nullptr), E_POINTER);
    EXPECT_EQ(info->GetCategory(nullptr), E_POINTER);
    EXPECT_EQ(info->GetTypeId(nullptr), E_POINTER);
    EXPECT_EQ(info->GetFlags(nullptr), E_POINTER);
    if (auto enumerator = object.query<ICalcEnumeratorClass>()) {
      ComPtr<ICalcEnumerator> created;
      EXPECT_EQ(enumerator->GetDescription(nullptr), E_POINTER);
      EXPECT_EQ(enumerator->CreateEnumerator(nullptr, created.put()), E_POINTER);
      EXPECT_EQ(enumerator->CreateEnumerator(u"not numbers", created.put()), E_INVALIDARG);
      EXPECT_FALSE(created);
    }
  }
  for (const auto& message : app->messages->classes) {
    EXPECT_EQ(message->GetPrefix(nullptr), E_POINTER);
    EXPECT_EQ(message->GetName(nullptr), E_POINTER);
    EXPECT_EQ(message->GetDescription(nullptr), E_POINTER);
    EXPECT_EQ(message->GetMessageType(nullptr), E_POINTER);
  }
}

TEST_F(LibraryTest, DocumentClassNeedsAHostDocumentAndAnOfferedInterface) {
  void* out = &out;
  EXPECT_EQ(documentClass->CreateInstance(nullptr, IUnknown::iid, &out), E_NOTIMPL);
  EXPECT_EQ(out, nullptr);
  out = &out;
  EXPECT_EQ(documentClass->CreateDocument(nullptr, IUnknown::iid, &out), E_POINTER);
  EXPECT_EQ(out, nullptr);
  fake_host::HostDocument& host = new_host();
  EXPECT_EQ(documentClass->CreateDocument(&host, IUnknown::iid, nullptr), E_POINTER);
  out = &out;
  EXPECT_EQ(documentClass->CreateDocument(&host, IDocumentData::iid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(fake_host::ref_count(static_cast<IHostDocument*>(&host)), 1u) << "a refused document kept its host";
}

TEST_F(LibraryTest, MacroArgumentsAreAtMostOnePositionalValue) {
  Bstr value(std::string("x")), second(std::string("y"));
  const BSTR args[] = {value.get(), second.get()};
  for (const auto& message : app->messages->classes) {
    Bstr text;
    EXPECT_EQ(message->ParseArguments(1, nullptr, 0, text.put()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(message->ParseArguments(0, args, 2, text.put()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(message->ParseArguments(0, args, 1, nullptr), E_POINTER);
    EXPECT_EQ(message->ParseArguments(0, args, 1, text.put()), S_OK);
    EXPECT_EQ(text.utf8(), "x");
    EXPECT_EQ(message->ParseArguments(0, nullptr, 0, text.put()), S_OK);
  }
}

TEST_F(LibraryTest, DocumentAnswersNullAndUnknownArguments) {
  fake_host::HostDocument& host = new_host();
  ComPtr<IExtensionDocument> document = open_document(host);
  ASSERT_TRUE(document);
  auto sink = document.query<IOnlineDataSink>();
  auto commands = document.query<ICommandTarget>();
  auto messages = document.query<IMessageSink>();

  EXPECT_EQ(document->GetPersistedObject(0, kPersistedObjectKind, nullptr), E_POINTER);
  ComPtr<IPersist> item;
  EXPECT_EQ(document->GetPersistedObject(2, kPersistedObjectKind, item.put()), S_FALSE);
  EXPECT_FALSE(item);
  EXPECT_EQ(document->GetPersistedObject(0, kPersistedObjectKind + 1, item.put()), S_FALSE);
  EXPECT_FALSE(item);
  EXPECT_EQ(document->SetupUserInterface(nullptr), E_POINTER);
  EXPECT_EQ(messages->OnMessage(nullptr), E_POINTER);

  const std::uint32_t plots = command("HRV|AnalysisPlots|");
  EXPECT_EQ(commands->Update(command("HRV|Analyse"), nullptr), E_POINTER);
  EXPECT_EQ(commands->BuildPopup(plots, nullptr), E_POINTER);
  EXPECT_EQ(commands->DispatchPopup(plots, 10), E_FAIL);
  EXPECT_EQ(commands->DispatchPopup(plots, 0), E_FAIL);
  EXPECT_EQ(commands->Execute(0), S_FALSE);
  EXPECT_EQ(commands->Execute(command("HRV|Analyse") + 1000), S_FALSE);

  EXPECT_EQ(sink->CanStartSampling(0, nullptr), E_POINTER);
  EXPECT_EQ(sink->GetRefreshInterval(nullptr), E_POINTER);
  EXPECT_EQ(sink->GetBufferRequest(0, 0, 0, nullptr), E_POINTER);
  EXPECT_EQ(sink->OnTriggerArmed(), E_NOTIMPL);

  ComPtr<IPersist> settings;
  ASSERT_EQ(document->GetPersistedObject(0, kPersistedObjectKind, settings.put()), S_OK);
  auto persist = settings.query<IPersistStreamInit>();
  EXPECT_EQ(persist->Load(nullptr), E_POINTER);
  EXPECT_EQ(persist->GetClassID(nullptr), E_POINTER);
  EXPECT_EQ(persist->GetSizeMax(nullptr), E_NOTIMPL);
  EXPECT_EQ(document->Close(), S_OK);
}

TEST_F(LibraryTest, ChartChildrenRefuseNullPositions) {
  fake_host::HostDocument& host = new_host();
  ComPtr<IExtensionDocument> document = open_document(host);
  execute(document.get(), host, "HRV|Analyse");
  ASSERT_EQ(host.chart->children.size(), 2u);
  for (const auto& [type, child] : host.chart->children) {
    EXPECT_EQ(child->GetTypeId(nullptr), E_POINTER);
    EXPECT_EQ(child->Clone(0, 0, 0, 0, 0, 0, nullptr), E_POINTER);
    if (auto edits = child.query<HRV::IUserEventData>()) {
      TickPosition found;
      EXPECT_EQ(edits->Add(nullptr, HRV::AddedBeats), E_FAIL);
      EXPECT_EQ(edits->Remove(nullptr, HRV::RemovedBeats), E_FAIL);
      EXPECT_EQ(edits->FindAtOrAfter(nullptr, HRV::AddedBeats, &found), E_FAIL);
    }
  }
  EXPECT_EQ(document->Close(), S_OK);
}

}  // namespace
}  // namespace validator
