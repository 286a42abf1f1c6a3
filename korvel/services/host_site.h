// SPDX-License-Identifier: MIT
// The host document as one extension document sees it. Every extension document of a host
// document gets its own site: the data, chart, managers and identity are the host
// document's and shared, while the storage is the site's own (two extensions may both keep
// an item 0), and the messages a document sends are known to come from it. The host hands
// one more site, owned by no extension document, to the objects it creates for a document
// itself (Tabulet functions, channel calculations, export handlers).
#pragma once

#include "korvel/app/host_document.h"
#include "korvel/services/analysis_manager.h"
#include "korvel/services/chart_view.h"
#include "korvel/services/document_storage.h"
#include "korvel/services/sampling_manager.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/channel_calc.h"
#include "sdk/host/host_document.h"
#include "sdk/host/host_services.h"

namespace korvel::services {

class DocumentFrame;

class HostSite final : public ComObject<IHostDocument, IExtensionDocuments, IHostServices, IChartMessageTarget> {
 public:
  explicit HostSite(DocumentFrame& frame);

  DocumentStorage& storage() noexcept { return *storage_; }
  // The frame lets go of its sites when it closes; a site kept beyond that still answers
  // its getters but sends no more messages (E_UNEXPECTED).
  void detach() noexcept { frame_ = nullptr; }

  HRESULT GetDocumentData(IDocumentData** data) override;
  HRESULT GetChartData(IChartData** chartData) override;
  HRESULT GetChartView(IChartView** view) override;
  HRESULT GetStorage(IDocumentStorage** storage) override;
  HRESULT GetAnalysisManager(IAnalysisManager** manager) override;
  HRESULT GetSamplingManager(ISamplingManager** manager) override;
  HRESULT GetIdentity(std::int32_t* identity) override;
  HRESULT SendMessage(const HostMessage* message) override;
  HRESULT NotifyService(const GUID& service, std::uint32_t type) override;

  // S_FALSE and null once the frame is closed.
  HRESULT FindDocument(const GUID& classId, IUnknown** document) override;
  // E_NOINTERFACE once the frame is closed.
  HRESULT GetService(const GUID& iid, void** object) override;
  // E_UNEXPECTED once the frame is closed.
  HRESULT SendChartMessage(const ChartMessage* message) override;

 private:
  DocumentFrame* frame_;
  ComPtr<app::HostDocument> data_;
  ComPtr<ChartView> view_;
  ComPtr<AnalysisManager> analysis_;  // null when the host runs without one
  ComPtr<SamplingManager> sampling_;  // null when the document cannot sample
  ComPtr<DocumentStorage> storage_;
  std::int32_t identity_;
};

}  // namespace korvel::services
