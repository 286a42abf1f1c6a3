// SPDX-License-Identifier: MIT
#include "korvel/services/host_site.h"

#include "korvel/services/document_frame.h"
#include "korvel/services/session.h"
#include "sdk/cpp/hresult_error.h"

namespace korvel::services {
namespace {

// Hands out `object` as interface I; S_FALSE and null for an absent service.
template <class I, class T>
HRESULT hand_out(const ComPtr<T>& object, I** out) {
  if (!out) return E_POINTER;
  *out = object ? static_cast<I*>(object.get()) : nullptr;
  if (!*out) return S_FALSE;
  (*out)->AddRef();
  return S_OK;
}

}  // namespace

HostSite::HostSite(DocumentFrame& frame)
    : frame_(&frame),
      data_(frame.data_object()),
      view_(frame.chart_view_object()),
      analysis_(frame.analysis_manager()),
      sampling_(frame.sampling_manager()),
      storage_(make_com<DocumentStorage>()),
      identity_(frame.identity()) {}

HRESULT HostSite::GetDocumentData(IDocumentData** data) { return hand_out<IDocumentData>(data_, data); }
HRESULT HostSite::GetChartData(IChartData** chartData) { return hand_out<IChartData>(data_, chartData); }
HRESULT HostSite::GetChartView(IChartView** view) { return hand_out<IChartView>(view_, view); }
HRESULT HostSite::GetStorage(IDocumentStorage** storage) { return hand_out<IDocumentStorage>(storage_, storage); }
HRESULT HostSite::GetAnalysisManager(IAnalysisManager** manager) { return hand_out<IAnalysisManager>(analysis_, manager); }
HRESULT HostSite::GetSamplingManager(ISamplingManager** manager) { return hand_out<ISamplingManager>(sampling_, manager); }

HRESULT HostSite::GetIdentity(std::int32_t* identity) {
  if (!identity) return E_POINTER;
  *identity = identity_;
  return S_OK;
}

HRESULT HostSite::SendMessage(const HostMessage* message) {
  if (!message) return E_POINTER;
  if (!frame_) return E_UNEXPECTED;
  return guard([&] { return frame_->route(*this, *message); });
}

HRESULT HostSite::NotifyService(const GUID& service, std::uint32_t type) {
  if (!frame_) return E_UNEXPECTED;
  return guard([&] { return frame_->notice(service, type); });
}

HRESULT HostSite::FindDocument(const GUID& classId, IUnknown** document) {
  if (!document) return E_POINTER;
  *document = nullptr;
  const DocumentFrame::Extension* e = frame_ ? frame_->find_extension(classId) : nullptr;
  if (!e) return S_FALSE;
  return e->document->QueryInterface(IUnknown::iid, reinterpret_cast<void**>(document));
}

HRESULT HostSite::GetService(const GUID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!frame_) return E_NOINTERFACE;
  return frame_->session().service(iid, object);
}

HRESULT HostSite::SendChartMessage(const ChartMessage* message) {
  if (!message) return E_POINTER;
  if (!frame_) return E_UNEXPECTED;
  return guard([&] {
    frame_->chart_guides().take(*message);
    return S_OK;
  });
}

}  // namespace korvel::services
