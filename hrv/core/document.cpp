// SPDX-License-Identifier: MIT
#include "hrv/core/document.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "hrv/core/analysis_export.h"
#include "hrv/core/analysis_region.h"
#include "hrv/core/event_id_cache.h"
#include "hrv/core/settings_properties.h"
#include "hrv/engine/recalc_mask.h"
#include "hrv/host/guids.h"
#include "hrv/host/host_context.h"
#include "hrv/host/menu_tree.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

// The host service told when a document in an earlier settings format was loaded, and the
// local number of that notice.
constexpr GUID kEarlierFormatService = make_guid("{F2A1CAB8-A683-410D-8307-9424303CFD13}");
constexpr std::uint16_t kEarlierFormatNotice = 26;

ComPtr<IDocumentData> data_of(IHostDocument* host) {
  if (!host) throw_hresult(E_POINTER, "a document needs its host document");
  ComPtr<IDocumentData> data;
  check_hresult(host->GetDocumentData(data.put()), "host document data");
  if (!data) throw_hresult(E_POINTER, "the host document gave no data");
  return data;
}

}  // namespace

Document::Document(ComPtr<IHostDocument> host)
    : host_(std::move(host)),
      documentData_(data_of(host_.get())),
      settings_(make_com<Settings>()),
      data_(make_com<Data>(ComPtr<IUnknown>::retain(settings_->identity()), *settings_)),
      detector_(documentData_.get()) {}

Document::~Document() = default;

void* Document::query_extra(const GUID& iid) {
  if (com_detail::in_chain<IOnlineDataSink>(iid)) return static_cast<IOnlineDataSink*>(&samplingSink_);
  if (com_detail::in_chain<ICommandTarget>(iid)) return static_cast<ICommandTarget*>(&commandTarget_);
  if (com_detail::in_chain<IMessageSink>(iid)) return static_cast<IMessageSink*>(&messageSink_);
  return nullptr;
}

Document* Document::from(IUnknown* object) noexcept {
  if (!object) return nullptr;
  ComPtr<IHRVDocument> marker;
  if (FAILED(object->QueryInterface(IHRVDocument::iid, marker.put_void())) || !marker) return nullptr;
  return static_cast<Document*>(marker.get());
}

// ---- IExtensionDocument ----

HRESULT Document::GetPersistedObject(std::int32_t index, std::int32_t kind, IPersist** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (kind != kPersistedObjectKind) return S_FALSE;
  if (index == 0) *object = static_cast<IPersistStreamInit*>(settings_.get());
  if (index == 1) *object = static_cast<IPersistStreamInit*>(data_.get());
  if (!*object) return S_FALSE;
  (*object)->AddRef();
  return S_OK;
}

HRESULT Document::SetupUserInterface(IMenuService* menus) {
  if (!menus) return E_POINTER;
  return guard([&] {
    build_menu_tree(*menus);
    return S_OK;
  });
}

HRESULT Document::OnLoaded() {
  return guard([&] {
    if (settings_->LoadedVersion >= 101 && settings_->LoadedVersion <= 105)
      host_->NotifyService(kEarlierFormatService,
                           make_type_id(HostContext::instance().module_id(GUID_HRVDocumentObj), kEarlierFormatNotice));
    // A stored record is read as it stands; what the analysis cannot work with is put back
    // to its default here, before anything computes with it, and the user is told.
    if (const auto reset = reset_out_of_range(*settings_); !reset.empty()) {
      settings_->Dirty = true;
      std::u16string names;
      for (const auto name : reset) names.append(names.empty() ? u"" : u", ").append(name);
      if (const ComPtr<IApplication> application = HostContext::instance().application()) {
        std::int32_t pressed = 0;
        application->MessageBox((u"The document's HRV settings held values outside their ranges, now set to their "
                                 u"defaults: " + names + u".").c_str(),
                                u"HRV", kMessageBoxWarningIcon, 0, &pressed);
      }
    }
    return S_OK;
  });
}

HRESULT Document::Close() {
  return guard([&] {
    samplingSink_.Unregister();
    if (region_set() && !host_sampling()) take_analysis_apart();
    detector_.DeleteChannels();
    // The manager holds the document as its client; letting go here breaks that cycle.
    if (analysisManager_) analysisManager_->UnregisterClient(analysisCookie_);
    analysisManager_.reset();
    analysisCookie_ = -1;
    return S_OK;
  });
}

// ---- IAnalysisClient ----

HRESULT Document::ReportRegion(std::int32_t argument) {
  return guard([&] {
    if (analysisManager_ && (settings_->Registered || settings_->Loaded))
      analysisManager_->ReportRegion(analysisCookie_, settings_->region_start(), settings_->region_end(), argument);
    return S_OK;
  });
}

HRESULT Document::RequestClear(std::int32_t argument) {
  return guard([&] {
    VARIANT_BOOL affected = VARIANT_FALSE;
    if (analysisManager_ && analysisManager_->IsAffected(analysisCookie_, argument, &affected) == S_OK && affected &&
        !host_sampling())
      ClearAnalysis(kChangeEverything, true);
    return S_OK;
  });
}

HRESULT Document::RequestReanalysis(std::int32_t argument) {
  return guard([&] {
    VARIANT_BOOL affected = VARIANT_FALSE;
    if (analysisManager_ && analysisManager_->IsAffected(analysisCookie_, argument, &affected) == S_OK && affected &&
        !host_sampling())
      RunAnalysis(kChangeEverything, ChangeCode::Analysis);
    return S_OK;
  });
}

// ---- IAnalysisExport ----

namespace {
HRESULT write_all(IByteStream* stream, const std::string& text) {
  if (!stream) return E_POINTER;
  ULONG written = 0;
  return stream->Write(text.data(), static_cast<ULONG>(text.size()), &written);
}
}  // namespace

HRESULT Document::ExportResults(IByteStream* stream) {
  return guard([&] {
    const HRESULT hr = write_all(stream, results_json(*this));
    return FAILED(hr) ? hr : (region_set() ? S_OK : S_FALSE);
  });
}

HRESULT Document::ExportEvents(IByteStream* stream) {
  return guard([&] {
    if (!stream) return E_POINTER;
    HRESULT hr = S_OK;
    beats_csv(*this, [&](std::string_view text) {
      ULONG written = 0;
      hr = stream->Write(text.data(), static_cast<ULONG>(text.size()), &written);
      return SUCCEEDED(hr);
    });
    return hr;
  });
}

// ---- Lifecycle operations ----

bool Document::RunAnalysis(std::uint32_t mask, ChangeCode code) {
  if ((mask & kChangeFiducial) && !region_set()) return false;
  notify_about_to_change(code);
  AttachChildData();
  detector_.Build(mask, settings_.get());
  const ChannelId fiducial = fiducial_channel();
  if (fiducial.found()) detector_.SetBeatMarkers(fiducial, settings_->SourceChannel, settings_->ShowMarkers);
  UpdateChannelCalcs();
  if (code == ChangeCode::OnlineRestart)
    results_.Reset();  // SamplingStateChanged starts the incremental analysis from the region's start
  else
    recalculate(mask);
  notify_changed(code);
  return true;
}

bool Document::ClearAnalysis(std::uint32_t mask, bool notify) {
  if (!region_set() || host_sampling()) return false;
  notify_about_to_change(ChangeCode::Cleared);
  detector_.Refresh(mask, settings_.get());
  if (mask & kChangeBeatsMask) {
    ClearUserEdits(notify);
    RemoveChildData();
  }
  if (mask == kChangeEverything) settings_->ResetRegion();
  if (mask & RecalcAnyResult) results_.Reset();
  if (notify) notify_changed(ChangeCode::Cleared);
  return true;
}

bool Document::SetAnalysisRegion(Settings& settings, RegionSource source) {
  AnalysisRegion region = AnalysisRegion::from(settings);
  switch (source) {
    case RegionSource::Analyse:
      if (settings.AnalyseSelection) {
        const Selection s = selection();
        region = {s.start, s.end};
      } else {
        region = AnalysisRegion::whole_channel(end_of_data());
      }
      break;
    case RegionSource::SamplingStart: {
      std::int32_t record = TickPosition::kUnset;
      TickPosition position = TickPosition::unset();
      documentData_->GetSamplingStart(&record, &position);
      region = AnalysisRegion::online(position.is_set() ? position : TickPosition{0, record});
      break;
    }
    case RegionSource::Close: region.end = end_of_data(); break;
  }
  if (region == AnalysisRegion::from(settings)) return false;
  region.store_in(settings);
  settings.Dirty = true;
  return true;
}

void Document::InvalidateAnalysis() {
  if (analysisManager_ && analysisCookie_ != -1) analysisManager_->MarkChanged(analysisCookie_);
  RegisterPersistObjects();
  settings_->Dirty = true;
}

void Document::InvalidateEdits() {
  if (analysisManager_ && analysisCookie_ != -1) analysisManager_->MarkChanged(analysisCookie_);
  RegisterPersistObjects();
  data_->set_dirty();
}

void Document::AttachChildData() {
  ComPtr<IChartData> chart = chart_data();
  if (!chart) return;
  ComPtr<IChartDataChildData> present;
  if (chart->GetChild(UserEventData::type_id(), present.put()) != S_OK || !present)
    chart->AddChild(&data_->user_events());
  if (chart->GetChild(EventIdCache::type_id(), present.put()) != S_OK || !present)
    chart->AddChild(make_com<EventIdCache>().get());
}

void Document::RemoveChildData() {
  ComPtr<IChartData> chart = chart_data();
  if (!chart) return;
  chart->RemoveChild(UserEventData::type_id());
  chart->RemoveChild(EventIdCache::type_id());
}

void Document::ClearUserEdits(bool rerun) {
  UserEventData& edits = data_->user_events();
  if (edits.IsEmpty(nullptr) == S_OK) return;
  edits.Clear();
  if (rerun) InvalidateEdits();
}

void Document::RegisterPersistObjects() {
  if (!storage_ && FAILED(host_->GetStorage(storage_.put()))) storage_.reset();
  if (!storage_) return;
  if (!settings_->Registered &&
      SUCCEEDED(storage_->SetPersistedItem(0, settings_.get(), to_variant_bool(settings_->Loaded))))
    settings_->Registered = true;
  if (!data_->registered() && SUCCEEDED(storage_->SetPersistedItem(1, data_.get(), to_variant_bool(data_->loaded()))))
    data_->set_registered();
}

bool Document::UpdateOnlineRegistration() { return samplingSink_.UpdateRegistration(); }

void Document::UpdateChannelCalcs() { messageSink_.UpdateGuideLines(); }

bool Document::region_data_valid() {
  VARIANT_BOOL regionValid = VARIANT_FALSE, channelValid = VARIANT_FALSE;
  const ChannelId source{settings_->SourceChannel, settings_->SourceKind};
  return documentData_->IsRegionValid(settings_->region_start(), settings_->region_end(), &regionValid) == S_OK &&
         regionValid && documentData_->IsChannelValid(source, settings_->StartRecord, settings_->EndRecord, &channelValid) == S_OK &&
         channelValid;
}

void Document::ValidateRegion() {
  if (region_set() && !region_data_valid()) ClearAnalysis(kChangeEverything, true);
}

bool Document::IsOnlineContinuous() {
  return !region_set() || !(settings_->region_end() < end_of_data());
}

bool Document::RegisterWithAnalysisManager() {
  ComPtr<IAnalysisManager> manager;
  if (host_->GetAnalysisManager(manager.put()) != S_OK || !manager) return false;
  const std::u16string text = utf8_to_utf16(LoadString(1));
  std::int32_t cookie = -1;
  if (FAILED(manager->RegisterClient(u"HRV", text.c_str(), static_cast<IAnalysisClient*>(this), &cookie))) return false;
  analysisManager_ = std::move(manager);
  analysisCookie_ = cookie;
  const bool settingsTaken =
      SUCCEEDED(analysisManager_->SetPersistedItem(cookie, 0, settings_.get(), to_variant_bool(settings_->Loaded)));
  const bool dataTaken =
      SUCCEEDED(analysisManager_->SetPersistedItem(cookie, 1, data_.get(), to_variant_bool(data_->loaded())));
  return settingsTaken && dataTaken;
}

// ---- Queries ----

Document::Selection Document::selection() const {
  Selection s;
  s.kind = kSelectionQueryStart;
  ComPtr<IChartView> view;
  if (host_->GetChartView(view.put()) != S_OK || !view) return s;
  ChannelId channel;
  double low = -std::numeric_limits<double>::max(), high = std::numeric_limits<double>::max();
  if (FAILED(view->GetSelection(&s.kind, &s.start, &s.end, &channel, &low, &high))) return Selection{kSelectionQueryStart};
  return s;
}

bool Document::host_sampling() const {
  VARIANT_BOOL sampling = VARIANT_FALSE;
  return documentData_->IsSampling(&sampling) == S_OK && sampling != VARIANT_FALSE;
}

bool Document::can_sample() const {
  ComPtr<ISamplingManager> sampling;
  return host_->GetSamplingManager(sampling.put()) == S_OK && sampling;
}

bool Document::extents_known() const noexcept {
  return !std::isnan(results_.minRR) && !std::isnan(results_.maxRR) && !std::isnan(results_.minFF) &&
         !std::isnan(results_.maxFF);
}

ChannelId Document::fiducial_channel() const {
  ChannelId fiducial;
  detector_.FiducialChannel(&fiducial);
  return fiducial;
}

TickPosition Document::end_of_data() const {
  TickPosition end = TickPosition::unset();
  documentData_->GetEndOfData(&end);
  return end;
}

ComPtr<IChartData> Document::chart_data() const {
  ComPtr<IChartData> chart;
  if (FAILED(host_->GetChartData(chart.put()))) chart.reset();
  return chart;
}

void Document::recalculate(std::uint32_t mask) {
  stretches_.forget();
  try {
    results_.Recalculate(mask, documentData_.get(), *settings_, fiducial_channel());
  } catch (const HResultError&) {
    // The host could not hand over every beat; the results cover what was read.
  }
}

// ---- Messages to the host ----

void Document::SendMacroMessage(std::uint16_t number) {
  const HostMessage message{make_type_id(HostContext::instance().module_id(GUID_HRVDocumentObj), number), {}, nullptr};
  host_->SendMessage(&message);
}

void Document::OpenView(std::uint32_t viewTypeId) {
  const HostMessage message{kMessageOpenView, {0, 4, static_cast<std::int32_t>(viewTypeId), 0}, nullptr};
  host_->SendMessage(&message);
}

// ---- Observers ----

void Document::add_observer(DocumentObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void Document::remove_observer(DocumentObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Document::notify_about_to_change(ChangeCode code) {
  stretches_.forget();
  const auto observers = observers_;  // an observer may leave while being told
  for (DocumentObserver* o : observers) o->AboutToChange(code);
}

void Document::notify_changed(ChangeCode code) {
  stretches_.forget();
  const auto observers = observers_;
  for (DocumentObserver* o : observers) o->Changed(code);
}

void Document::take_analysis_apart() {
  notify_about_to_change(ChangeCode::Cleared);
  detector_.Refresh(kChangeEverything, settings_.get());
  ClearUserEdits(false);
  RemoveChildData();
  settings_->ResetRegion();
  results_.Reset();
}

}  // namespace HRV
