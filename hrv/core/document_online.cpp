// SPDX-License-Identifier: MIT
// Analysis while the host samples: the document's IOnlineDataSink. The host calls it, while
// OnlineMode is on, in the order CanStartSampling, SamplingStarting, SamplingStateChanged,
// OnlineData..., SamplingEnding, SamplingStopped.
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
constexpr std::uint32_t kOkCancelWarningTaskModal = 0x2031;
constexpr std::uint32_t kDiscontinuousBoxArgument = 0x800B0004u;
constexpr std::int32_t kAnswerOk = 1;
constexpr std::int32_t kRefreshIntervalMs = 200;

bool ask_to_drop_region() {
  ComPtr<IApplication> application = HostContext::instance().application();
  if (!application) return false;
  const std::u16string text = utf8_to_utf16(LoadString(kDiscontinuousText));
  const std::u16string caption = utf8_to_utf16(LoadString(kCaptionText));
  std::int32_t answer = 0;
  return SUCCEEDED(application->MessageBox(text.c_str(), caption.c_str(), kOkCancelWarningTaskModal,
                                           kDiscontinuousBoxArgument, &answer)) &&
         answer == kAnswerOk;
}

}  // namespace

HRESULT Document::CanStartSampling(std::int32_t, VARIANT_BOOL* allowed) {
  if (!allowed) return E_POINTER;
  *allowed = VARIANT_TRUE;
  return guard([&] {
    if (!settings_->OnlineMode || IsOnlineContinuous()) return S_OK;
    // Sampling would leave a gap between the analysed region and the new data.
    if (!ask_to_drop_region()) {
      *allowed = VARIANT_FALSE;
      return S_FALSE;
    }
    ClearAnalysis(kChangeFiducial, false);
    settings_->ResetRegion();
    return S_OK;
  });
}

HRESULT Document::SamplingStarting(std::int32_t) {
  return guard([&] {
    if (settings_->OnlineMode && SetAnalysisRegion(*settings_, RegionSource::SamplingStart)) {
      InvalidateAnalysis();
      RunAnalysis(kChangeRebuildOnly, ChangeCode::OnlineRestart);
    }
    return S_OK;
  });
}

HRESULT Document::SamplingStateChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                       std::int32_t, VARIANT_BOOL sampling) {
  sampling_ = sampling;
  if (sampling == VARIANT_FALSE || !settings_->OnlineMode) return S_OK;
  return results_.StartOnline(documentData_.get(), *settings_, fiducial_channel());
}

HRESULT Document::OnlineData(std::int32_t) {
  if (sampling_ == VARIANT_FALSE || !settings_->OnlineMode) return S_OK;
  return guard([&] {
    notify_about_to_change(ChangeCode::OnlineData);
    const HRESULT added = results_.AddOnlineBeats();
    if (added == S_OK) notify_changed(ChangeCode::OnlineData);
    return added;
  });
}

HRESULT Document::SamplingEnding(std::int32_t, std::int32_t) {
  if (sampling_ == VARIANT_FALSE || !settings_->OnlineMode) return S_OK;
  return guard([&] {
    notify_about_to_change(ChangeCode::OnlineEnded);
    const HRESULT added = results_.StopOnline();
    if (added == S_OK) notify_changed(ChangeCode::OnlineEnded);
    return added;
  });
}

HRESULT Document::SamplingStopped(std::int32_t) {
  if (!settings_->OnlineMode) return S_OK;
  return guard([&] {
    notify_about_to_change(ChangeCode::SamplingStopped);
    if (SetAnalysisRegion(*settings_, RegionSource::Close)) {  // the open end closes at the end of the data
      InvalidateAnalysis();
      if (detector_.Build(FiducialGroup, settings_.get())) detector_.ShowBeatMarkers(settings_.get());
    }
    // The incremental updates leave the threshold count and the exact median to this point.
    recalculate(RecalcThreshold);
    notify_changed(ChangeCode::SamplingStopped);
    return S_OK;
  });
}

HRESULT Document::GetRefreshInterval(std::int32_t* milliseconds) { return copy_out<std::int32_t>(kRefreshIntervalMs, milliseconds); }

HRESULT Document::GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) {
  if (!request) return E_POINTER;
  *request = static_cast<std::int32_t>(0x80000000u);
  return S_OK;
}

}  // namespace HRV
