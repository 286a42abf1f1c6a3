// SPDX-License-Identifier: MIT
#include "hrv/views/report_view.h"

#include <algorithm>
#include <map>

#include "document_fixture.h"
#include "hrv/host/commands.h"
#include "hrv/host/registration.h"
#include "hrv/views/view_classes.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"

namespace report_view_test {
namespace {

class FakePage final : public ComObject<IHtmlView> {
 public:
  HRESULT SetHtml(const char16_t* html) override {
    shown.push_back(utf16_to_utf8(html));
    return S_OK;
  }
  HRESULT Print() override {
    ++prints;
    return S_OK;
  }
  HRESULT Close() override {
    closed = true;
    return S_OK;
  }
  std::vector<std::string> shown;
  int prints = 0;
  bool closed = false;
};

class FakeClipboard final : public ComObject<IClipboard> {
 public:
  HRESULT Empty() override {
    formats.clear();
    ++empties;
    return S_OK;
  }
  HRESULT SetData(const char16_t* format, const void* data, ULONG size) override {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    formats[utf16_to_utf8(format)] = std::vector<std::uint8_t>(bytes, bytes + size);
    return S_OK;
  }
  HRESULT GetData(const char16_t*, IByteStream** data) override {
    *data = nullptr;
    return E_NOTIMPL;
  }
  std::map<std::string, std::vector<std::uint8_t>> formats;
  int empties = 0;
};

class ReportViewTest : public document_test::DocumentTest {
 protected:
  void TearDown() override {
    view.Close();
    DocumentTest::TearDown();
  }
  ComPtr<FakePage> page = make_com<FakePage>();
  ComPtr<FakeClipboard> clipboard = make_com<FakeClipboard>();
  HRV::ReportView view{doc_for_view()};

 private:
  // The fixture makes its document in SetUp; the view needs it at construction.
  HRV::Document& doc_for_view() {
    DocumentTest::SetUp();
    return doc();
  }
  void SetUp() override {}
};

TEST_F(ReportViewTest, ShowsTheMessageUntilAnAnalysisThenTheReport) {
  view.SetUp(page.get(), clipboard.get(), nullptr);
  ASSERT_EQ(page->shown.size(), 1u);
  EXPECT_EQ(page->shown[0], "The report is unavailable as HRV has not been analyzed.");
  add_regular_beats();
  doc().Analyze();
  ASSERT_EQ(page->shown.size(), 2u);
  EXPECT_EQ(page->shown[1], view.text());
  // Without display preferences the positions are seconds on the document's time axis.
  EXPECT_NE(view.text().find("Block: 1, 0.000 s"), std::string::npos);
  EXPECT_NE(view.text().find("Block: 2, 120.000 s"), std::string::npos);
  EXPECT_NE(view.text().find("<td class=\"value\">1 s</td>"), std::string::npos) << "average RR of 1 s beats";
}

TEST_F(ReportViewTest, DataNotificationsTwoAndEightRebuildThePage) {
  view.SetUp(page.get(), clipboard.get(), nullptr);
  view.OnDataNotification(4);
  EXPECT_EQ(page->shown.size(), 1u);
  view.OnDataNotification(2);
  view.OnDataNotification(8);
  EXPECT_EQ(page->shown.size(), 3u);
}

TEST_F(ReportViewTest, CopyPutsTheTextAndTheHtmlFormatOnAnEmptiedClipboard) {
  add_regular_beats();
  doc().Analyze();
  view.SetUp(page.get(), clipboard.get(), nullptr);
  clipboard->formats["Other"] = {1};
  view.Copy();
  EXPECT_EQ(clipboard->empties, 1);
  ASSERT_EQ(clipboard->formats.size(), 2u);
  EXPECT_EQ(clipboard->formats["UnicodeText"], HRV::unicode_clipboard_bytes(utf8_to_utf16(view.text())));
  EXPECT_EQ(clipboard->formats["HTML Format"], HRV::html_clipboard_bytes(view.text()));
  view.Print();
  EXPECT_EQ(page->prints, 1);
  EXPECT_EQ(view.CopyMenuText(), "Copy HRV Report");
  EXPECT_EQ(view.PrintMenuText(), "Print HRV Report");
}

// ---- The view classes ----

TEST_F(ReportViewTest, ViewClassesCarryTheTypeIdsTheCommandsOpen) {
  const auto classes = HRV::make_view_classes();
  ASSERT_EQ(classes.size(), 7u);
  const std::uint32_t expected[] = {HRV::report_view_type_id(),
                                    HRV::view_type_id(HRV::ViewTachogram),
                                    HRV::view_type_id(HRV::ViewSpectrum),
                                    HRV::view_type_id(HRV::ViewRRHistogram),
                                    HRV::view_type_id(HRV::ViewDeltaRRHistogram),
                                    HRV::view_type_id(HRV::ViewClassifier),
                                    HRV::view_type_id(HRV::ViewPoincare)};
  const char* names[] = {"HRV Report", "HRV Tachogram Plot", "HRV Power Spectrum Plot", "HRV RR Histogram Plot",
                         "HRV Delta RR Histogram Plot", "HRV Classifier Plot", "HRV Poincar\u00e9 Plot"};
  for (std::size_t i = 0; i < classes.size(); ++i) {
    auto info = classes[i].query<IClassObjectInfo>();
    ASSERT_TRUE(info) << i;
    std::uint32_t typeId = 0, flags = 0;
    GUID category{};
    Bstr name;
    EXPECT_EQ(info->GetTypeId(&typeId), S_OK);
    EXPECT_EQ(typeId, expected[i]) << i;
    info->GetCategory(&category);
    EXPECT_TRUE(category == kViewCategory) << i;
    info->GetFlags(&flags);
    EXPECT_EQ(flags, 1u);
    info->GetDisplayName(name.put());
    EXPECT_EQ(name.utf8(), names[i]);
  }
}

TEST_F(ReportViewTest, TheSevenViewClassesAreRegisteredAfterTheEventDrawClassInTheirOrder) {
  ASSERT_EQ(HRV::register_class_objects(app->identity()), S_OK);
  std::vector<std::string> names;
  for (const auto& object : app->classes->objects) {
    Bstr name;
    object.query<IClassObjectInfo>()->GetDisplayName(name.put());
    names.push_back(name.utf8());
  }
  const auto draw = std::find(names.begin(), names.end(), "PkStimEventDrawClass");
  ASSERT_NE(draw, names.end());
  const std::vector<std::string> views(draw + 1, std::min(draw + 8, names.end()));
  EXPECT_EQ(views, (std::vector<std::string>{"HRV Report", "HRV Tachogram Plot", "HRV Power Spectrum Plot",
                                             "HRV RR Histogram Plot", "HRV Delta RR Histogram Plot",
                                             "HRV Classifier Plot", "HRV Poincar\u00e9 Plot"}));
  // The application that registration installed is the fixture's own; put it back as it was.
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
}

TEST_F(ReportViewTest, AViewClassFindsTheDocumentsAnalysisThroughTheHostDocument) {
  const auto classes = HRV::make_view_classes();
  auto report = classes[0].query<IViewClass>();
  ComPtr<IExtensionView> opened;
  EXPECT_EQ(report->CreateView(host.get(), IExtensionView::iid, opened.put_void()), E_UNEXPECTED);

  host->extensionDocumentClass = HRV::GUID_HRVDocumentObj;
  host->extensionDocument = ComPtr<IUnknown>::retain(doc().identity());
  ASSERT_EQ(report->CreateView(host.get(), IExtensionView::iid, opened.put_void()), S_OK);
  Bstr title;
  opened->GetTitle(title.put());
  EXPECT_EQ(title.utf8(), "HRV Report");
  auto sink = opened.query<IMessageSink>();
  const HostMessage copy{kMessageCopy, {}, nullptr};
  EXPECT_EQ(sink->OnMessage(&copy), S_OK);
  const HostMessage other{0x12340001u, {}, nullptr};
  EXPECT_EQ(sink->OnMessage(&other), S_FALSE);
  EXPECT_EQ(opened->Close(), S_OK);

  // A plot needs the host's plot controls, which this host does not offer.
  ComPtr<IExtensionView> plot;
  EXPECT_EQ(classes[1].query<IViewClass>()->CreateView(host.get(), IExtensionView::iid, plot.put_void()), E_NOINTERFACE);
  EXPECT_EQ(classes[1].query<IViewClass>()->CreateView(nullptr, IExtensionView::iid, plot.put_void()), E_POINTER);
  host->extensionDocument.reset();
}

}  // namespace
}  // namespace report_view_test
