// SPDX-License-Identifier: MIT
#include "hrv/views/view_classes.h"

#include <memory>

#include "hrv/core/document.h"
#include "hrv/host/commands.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "hrv/resources/string_table.h"
#include "hrv/views/plot_views.h"
#include "hrv/views/report_view.h"
#include "sdk/cpp/com_object.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/application.h"
#include "sdk/host/host_services.h"

namespace HRV {

namespace {

enum class ViewKind { Report, Tachogram, Spectrum, RRHistogram, DeltaRRHistogram, Classifier, Poincare };

struct ViewClassInfo {
  ViewKind kind;
  std::uint32_t title;          // string table
  const char16_t* internalName;
  GUID classId;
};

constexpr ViewClassInfo kViewClasses[] = {
    {ViewKind::Report, 9, u"HRV Report View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F601}")},
    {ViewKind::Tachogram, 195, u"HRV Tachogram View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F602}")},
    {ViewKind::Spectrum, 196, u"HRV Spectrum View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F603}")},
    {ViewKind::RRHistogram, 197, u"HRV RR Histogram View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F604}")},
    {ViewKind::DeltaRRHistogram, 198, u"HRV Delta RR Histogram View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F605}")},
    {ViewKind::Classifier, 199, u"HRV Classifier View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F606}")},
    {ViewKind::Poincare, 200, u"HRV Poincare View", make_guid("{7C3E9A14-2B6D-4F81-A5C0-93D1E8B4F607}")},
};
// Passed through to the host unchanged.
constexpr std::uint32_t kViewClassFlags = 1;

// A service of the host, or null when it offers none.
template <class I>
ComPtr<I> service(IHostServices* services) {
  ComPtr<I> out;
  if (services) services->GetService(I::iid, out.put_void());
  return out;
}

// One open view as the host drives it. `View` is PlotView or ReportView.
template <class View>
class HostedView final : public ComObject<IExtensionView, IMessageSink> {
 public:
  explicit HostedView(std::unique_ptr<View> view) : view_(std::move(view)) {}
  ~HostedView() override { view_->Close(); }

  // The texts are built (and may fail to allocate) on this side of the boundary.
  HRESULT GetTitle(BSTR* title) override { return guard([&] { return copy_text(view_->Title(), title); }); }
  HRESULT GetCopyMenuText(BSTR* text) override { return guard([&] { return copy_text(view_->CopyMenuText(), text); }); }
  HRESULT GetPrintMenuText(BSTR* text) override { return guard([&] { return copy_text(view_->PrintMenuText(), text); }); }
  HRESULT Close() override {
    return guard([&] {
      view_->Close();
      return S_OK;
    });
  }
  HRESULT OnMessage(const HostMessage* message) override {
    if (!message) return E_POINTER;
    return guard([&] {
      switch (message->type) {
        case kMessageCopy: view_->Copy(); return S_OK;
        case kMessagePrint: view_->Print(); return S_OK;
        default: break;
      }
      if (message->type >> 16 != HostContext::instance().module_id(kDataNotificationFamily)) return S_FALSE;
      view_->OnDataNotification(static_cast<std::uint16_t>(message->type & 0xFFFF));
      return S_OK;
    });
  }

 private:
  std::unique_ptr<View> view_;
};

std::unique_ptr<PlotView> make_plot_view(ViewKind kind, Document& document) {
  switch (kind) {
    case ViewKind::Tachogram: return std::make_unique<TachogramView>(document);
    case ViewKind::Spectrum: return std::make_unique<SpectrumView>(document);
    case ViewKind::RRHistogram: return std::make_unique<HistogramView>(document, HistogramKind::RR);
    case ViewKind::DeltaRRHistogram: return std::make_unique<HistogramView>(document, HistogramKind::DeltaRR);
    case ViewKind::Classifier: return std::make_unique<ClassifierView>(document);
    case ViewKind::Poincare: return std::make_unique<PoincareView>(document);
    case ViewKind::Report: break;
  }
  throw_hresult(E_UNEXPECTED, "not a plot view");
}

class ViewClass final : public ComObject<IViewClass, IClassObjectInfo> {
 public:
  explicit ViewClass(const ViewClassInfo& info) : info_(info) {}

  HRESULT CreateInstance(IUnknown*, const GUID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOTIMPL;
  }
  HRESULT LockServer(VARIANT_BOOL) override { return S_OK; }

  HRESULT CreateView(IHostDocument* host, const GUID& iid, void** view) override {
    if (!view) return E_POINTER;
    *view = nullptr;
    if (!host) return E_POINTER;
    return guard([&] {
      Document& document = find_document(*host);
      ComPtr<IHostServices> services;
      host->QueryInterface(IHostServices::iid, services.put_void());
      const ComPtr<IDisplayPreferences> display = service<IDisplayPreferences>(services.get());
      if (info_.kind == ViewKind::Report) {
        ComPtr<IHtmlView> page;
        if (auto pages = service<IHtmlViews>(services.get())) check_hresult(pages->CreateHtmlView(page.put()));
        auto report = std::make_unique<ReportView>(document);
        report->SetUp(page.get(), service<IClipboard>(services.get()).get(), display.get());
        return make_com<HostedView<ReportView>>(std::move(report))->QueryInterface(iid, view);
      }
      const ComPtr<IPlotControls> plots = service<IPlotControls>(services.get());
      if (!plots) throw_hresult(E_NOINTERFACE, "the host offers no plot controls");
      std::unique_ptr<PlotView> plot = make_plot_view(info_.kind, document);
      plot->SetUp({plots.get(), display.get(), &steady_markup_clock()});
      return make_com<HostedView<PlotView>>(std::move(plot))->QueryInterface(iid, view);
    });
  }

  HRESULT GetDisplayName(BSTR* name) override { return guard([&] { return copy_text(utf8_to_utf16(LoadString(info_.title)), name); }); }
  HRESULT GetInternalName(BSTR* name) override { return guard([&] { return copy_text(info_.internalName, name); }); }
  HRESULT GetClassId(GUID* classId) override { return copy_out<GUID>(info_.classId, classId); }
  HRESULT GetCategory(GUID* category) override { return copy_out<GUID>(kViewCategory, category); }
  // The same ids the document's commands open the views with.
  HRESULT GetTypeId(std::uint32_t* typeId) override {
    if (!typeId) return E_POINTER;
    return guard([&] {
      switch (info_.kind) {
        case ViewKind::Report: *typeId = report_view_type_id(); break;
        case ViewKind::Tachogram: *typeId = view_type_id(ViewTachogram); break;
        case ViewKind::Spectrum: *typeId = view_type_id(ViewSpectrum); break;
        case ViewKind::RRHistogram: *typeId = view_type_id(ViewRRHistogram); break;
        case ViewKind::DeltaRRHistogram: *typeId = view_type_id(ViewDeltaRRHistogram); break;
        case ViewKind::Classifier: *typeId = view_type_id(ViewClassifier); break;
        case ViewKind::Poincare: *typeId = view_type_id(ViewPoincare); break;
      }
      return S_OK;
    });
  }
  HRESULT GetFlags(std::uint32_t* flags) override { return copy_out<std::uint32_t>(kViewClassFlags, flags); }

 private:
  static Document& find_document(IHostDocument& host) {
    ComPtr<IExtensionDocuments> documents;
    ComPtr<IUnknown> found;
    if (FAILED(host.QueryInterface(IExtensionDocuments::iid, documents.put_void())) || !documents ||
        documents->FindDocument(GUID_HRVDocumentObj, found.put()) != S_OK)
      throw_hresult(E_UNEXPECTED, "the host document has no HRV analysis");
    Document* document = Document::from(found.get());
    if (!document) throw_hresult(E_UNEXPECTED, "the host document has no HRV analysis");
    return *document;
  }

  const ViewClassInfo& info_;
};

}  // namespace

std::vector<ComPtr<IUnknown>> make_view_classes() {
  std::vector<ComPtr<IUnknown>> out;
  for (const ViewClassInfo& info : kViewClasses) out.push_back(ComPtr<IUnknown>::retain(make_com<ViewClass>(info)->identity()));
  return out;
}

}  // namespace HRV
