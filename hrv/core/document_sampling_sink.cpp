// SPDX-License-Identifier: MIT
#include "hrv/core/document_sampling_sink.h"

#include <limits>

#include "hrv/core/document.h"
#include "hrv/engine/recalc_mask.h"
#include "hrv/detect/detector.h"
#include "hrv/host/host_context.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint32_t kDiscontinuousText = 4;
constexpr std::uint32_t kCaptionText = 1;
constexpr std::uint32_t kDiscontinuousBoxArgument = 0x800B0004u;
constexpr std::int32_t kAnswerOk = 1;
constexpr std::int32_t kRefreshIntervalMs = 200;

bool ask_to_drop_region() {
  ComPtr<IApplication> application = HostContext::instance().application();
  if (!application) return false;
  const std::u16string text = utf8_to_utf16(LoadString(kDiscontinuousText));
  const std::u16string caption = utf8_to_utf16(LoadString(kCaptionText));
  std::int32_t answer = 0;
  return SUCCEEDED(application->MessageBox(text.c_str(), caption.c_str(), kMessageBoxOkCancel | kMessageBoxWarningIcon | kMessageBoxTaskModal,
                                           kDiscontinuousBoxArgument, &answer)) &&
         answer == kAnswerOk;
}

}  // namespace

DocumentSamplingSink::DocumentSamplingSink(Document& document)
    : ComPart<IOnlineDataSink>(*document.identity()), document_(document) {}

HRESULT DocumentSamplingSink::CanStartSampling(std::int32_t, VARIANT_BOOL* allowed) {
  if (!allowed) return E_POINTER;
  *allowed = VARIANT_TRUE;
  return guard([&] {
    if (!document_.settings().OnlineMode || document_.IsOnlineContinuous()) return S_OK;
    // Sampling would leave a gap between the analysed region and the new data.
    if (!ask_to_drop_region()) {
      *allowed = VARIANT_FALSE;
      return S_FALSE;
    }
    document_.ClearAnalysis(kChangeFiducial, false);
    document_.settings().ResetRegion();
    return S_OK;
  });
}

HRESULT DocumentSamplingSink::SamplingStarting(std::int32_t) {
  return guard([&] {
    if (document_.settings().OnlineMode && document_.SetAnalysisRegion(document_.settings(), RegionSource::SamplingStart)) {
      document_.InvalidateAnalysis();
      document_.RunAnalysis(kChangeRebuildOnly, ChangeCode::OnlineRestart);
    }
    return S_OK;
  });
}

HRESULT DocumentSamplingSink::SamplingStateChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       std::int32_t, VARIANT_BOOL sampling) {
  sampling_ = sampling;
  if (sampling == VARIANT_FALSE || !document_.settings().OnlineMode) return S_OK;
  return document_.results_.StartOnline(document_.documentData_.get(), document_.settings(), document_.fiducial_channel());
}

HRESULT DocumentSamplingSink::OnlineData(std::int32_t) {
  if (sampling_ == VARIANT_FALSE || !document_.settings().OnlineMode) return S_OK;
  return guard([&] {
    document_.notify_about_to_change(ChangeCode::OnlineData);
    const HRESULT added = document_.results_.AddOnlineBeats();
    if (added == S_OK) document_.notify_changed(ChangeCode::OnlineData);
    return added;
  });
}

HRESULT DocumentSamplingSink::SamplingEnding(std::int32_t, std::int32_t) {
  if (sampling_ == VARIANT_FALSE || !document_.settings().OnlineMode) return S_OK;
  return guard([&] {
    document_.notify_about_to_change(ChangeCode::OnlineEnded);
    const HRESULT added = document_.results_.StopOnline();
    if (added == S_OK) document_.notify_changed(ChangeCode::OnlineEnded);
    return added;
  });
}

HRESULT DocumentSamplingSink::SamplingStopped(std::int32_t) {
  if (!document_.settings().OnlineMode) return S_OK;
  return guard([&] {
    document_.notify_about_to_change(ChangeCode::SamplingStopped);
    if (document_.SetAnalysisRegion(document_.settings(), RegionSource::Close)) {  // the open end closes at the end of the data
      document_.InvalidateAnalysis();
      if (document_.detector_.Build(FiducialGroup, &document_.settings())) document_.detector_.ShowBeatMarkers(&document_.settings());
    }
    // The incremental updates leave the threshold count and the exact median to this point.
    document_.recalculate(RecalcThreshold);
    document_.notify_changed(ChangeCode::SamplingStopped);
    return S_OK;
  });
}

HRESULT DocumentSamplingSink::GetRefreshInterval(std::int32_t* milliseconds) { return copy_out<std::int32_t>(kRefreshIntervalMs, milliseconds); }

HRESULT DocumentSamplingSink::GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) {
  if (!request) return E_POINTER;
  *request = std::numeric_limits<std::int32_t>::min();  // no buffer of its own
  return S_OK;
}

bool DocumentSamplingSink::UpdateRegistration() {
  ComPtr<ISamplingManager> sampling;
  if (document_.host()->GetSamplingManager(sampling.put()) != S_OK || !sampling) {
    registered_ = false;
    return false;
  }
  sampling->RemoveSink(this);
  registered_ = document_.settings().OnlineMode && SUCCEEDED(sampling->AddSink(this));
  return registered_;
}

void DocumentSamplingSink::Unregister() {
  if (ComPtr<ISamplingManager> sampling; document_.host()->GetSamplingManager(sampling.put()) == S_OK && sampling)
    sampling->RemoveSink(this);
  registered_ = false;
}

}  // namespace HRV
