// SPDX-License-Identifier: MIT
#include "hrv/views/report_view.h"

#include <algorithm>
#include <map>

#include "document_fixture.h"
#include "hrv/host/commands.h"
#include "hrv/host/registration.h"
#include "hrv/views/report_format.h"
#include "hrv/views/view_classes.h"

namespace report_view_test {
namespace {

class FakePage final : public ComObject<IHtmlView, IClipboard> {
 public:
  HRESULT SetHtml(const char16_t* html) override {
    shown.push_back(utf16_to_utf8(html));
    return S_OK;
  }
  HRESULT Print() override {
    ++prints;
    return S_OK;
  }
  HRESULT Close() override { return S_OK; }
  HRESULT Empty() override {
    clipboard = {{"emptied", {}}};
    return S_OK;
  }
  HRESULT SetData(const char16_t* format, const void* data, ULONG size) override {
    clipboard[utf16_to_utf8(format)].assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    return S_OK;
  }
  HRESULT GetData(const char16_t*, IByteStream**) override { return E_NOTIMPL; }
  std::vector<std::string> shown;
  std::map<std::string, std::vector<std::uint8_t>> clipboard{{"Other", {1}}};
  int prints = 0;
};

using ReportViewTest = document_test::DocumentTest;

TEST_F(ReportViewTest, ShowsTheMessageUntilAnAnalysisThenTheReportAndCopiesItInTwoFormats) {
  auto page = make_com<FakePage>();
  HRV::ReportView view(doc());
  view.SetUp(page.get(), page.get(), nullptr);
  EXPECT_EQ(page->shown, std::vector<std::string>{"The report is unavailable as HRV has not been analyzed."});
  add_regular_beats();
  doc().Analyze();
  ASSERT_EQ(page->shown.size(), 2u);
  EXPECT_EQ(page->shown[1], view.text());
  // Without display preferences the positions are seconds on the document's time axis.
  EXPECT_NE(view.text().find("Record 1, 120.000 s"), std::string::npos);
  EXPECT_NE(view.text().find("<td class=\"value\">1 s</td>"), std::string::npos) << "average RR of 1 s beats";
  view.OnDataNotification(4);
  view.OnDataNotification(2);
  view.OnDataNotification(8);
  EXPECT_EQ(page->shown.size(), 4u) << "notifications 2 and 8 rebuild the page";

  view.Copy();
  EXPECT_EQ(page->clipboard, (std::map<std::string, std::vector<std::uint8_t>>{
                                 {"emptied", {}},
                                 {"UnicodeText", HRV::unicode_clipboard_bytes(utf8_to_utf16(view.text()))},
                                 {"HTML Format", HRV::html_clipboard_bytes(view.text())}}));
  view.Print();
  EXPECT_EQ(page->prints, 1);
  EXPECT_EQ(view.CopyMenuText(), "Copy HRV Report");
  view.Close();
}

TEST_F(ReportViewTest, TheSevenViewClassesCarryTheTypeIdsTheCommandsOpenAndFollowTheDrawClass) {
  const auto classes = HRV::make_view_classes();
  const std::uint32_t ids[] = {HRV::report_view_type_id(), HRV::view_type_id(HRV::ViewTachogram), HRV::view_type_id(HRV::ViewSpectrum),
                               HRV::view_type_id(HRV::ViewRRHistogram), HRV::view_type_id(HRV::ViewDeltaRRHistogram),
                               HRV::view_type_id(HRV::ViewClassifier), HRV::view_type_id(HRV::ViewPoincare)};
  const std::vector<std::string> names{"HRV Report", "HRV Tachogram Plot", "HRV Power Spectrum Plot", "HRV RR Histogram Plot",
                                       "HRV Delta RR Histogram Plot", "HRV Classifier Plot", "HRV Poincar\u00e9 Plot"};
  ASSERT_EQ(classes.size(), 7u);
  for (std::size_t i = 0; i < classes.size(); ++i) {
    auto info = classes[i].query<IClassObjectInfo>();
    std::uint32_t typeId = 0;
    GUID category{};
    Bstr name;
    info->GetTypeId(&typeId);
    info->GetCategory(&category);
    info->GetDisplayName(name.put());
    EXPECT_EQ(typeId, ids[i]) << names[i];
    EXPECT_TRUE(category == kViewCategory) << names[i];
    EXPECT_EQ(name.utf8(), names[i]);
  }
  ASSERT_EQ(HRV::register_class_objects(app->identity()), S_OK);
  std::vector<std::string> registered;
  for (const auto& object : app->classes->objects) {
    Bstr name;
    object.query<IClassObjectInfo>()->GetDisplayName(name.put());
    registered.push_back(name.utf8());
  }
  const auto draw = std::find(registered.begin(), registered.end(), "PkStimEventDrawClass");
  ASSERT_NE(draw, registered.end());
  EXPECT_EQ(std::vector<std::string>(draw + 1, std::min(draw + 8, registered.end())), names);
  // Registration installed the application it was given: the fixture's own, again.
  HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(app.get()));
}

TEST_F(ReportViewTest, AViewClassFindsTheDocumentsAnalysisThroughTheHostDocument) {
  const auto classes = HRV::make_view_classes();
  auto report = classes[0].query<IViewClass>();
  ComPtr<IExtensionView> opened;
  EXPECT_EQ(report->CreateView(host.get(), IExtensionView::iid, opened.put_void()), E_UNEXPECTED);
  offer_analysis();
  ASSERT_EQ(report->CreateView(host.get(), IExtensionView::iid, opened.put_void()), S_OK);
  auto sink = opened.query<IMessageSink>();
  const HostMessage copy{kMessageCopy, {}, nullptr}, other{0x12340001u, {}, nullptr};
  EXPECT_EQ(sink->OnMessage(&copy), S_OK);
  EXPECT_EQ(sink->OnMessage(&other), S_FALSE);
  EXPECT_EQ(opened->Close(), S_OK);
  // A plot needs the host's plot controls, which this host does not offer.
  ComPtr<IExtensionView> plot;
  EXPECT_EQ(classes[1].query<IViewClass>()->CreateView(host.get(), IExtensionView::iid, plot.put_void()), E_NOINTERFACE);
  EXPECT_EQ(classes[1].query<IViewClass>()->CreateView(nullptr, IExtensionView::iid, plot.put_void()), E_POINTER);
}

}  // namespace
}  // namespace report_view_test
