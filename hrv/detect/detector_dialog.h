// SPDX-License-Identifier: MIT
// "HRV Detector Settings": the six detector parameters, tuned against a live preview that
// runs the real detection chain on the preview detector's own channels ("HRV_p...") over
// the whole recording. Edits a copy of the settings, which the settings dialog takes over
// when this dialog ends with OK.
#pragma once

#include "hrv/detect/detector.h"
#include "hrv/dialogs/dialog_controller.h"
#include "sdk/host/document_data.h"

namespace HRV {

class DetectorDialog final : public DialogController {
 public:
  enum : std::int32_t {
    kWindow = 501, kNoise = 502, kWindowSlider = 503, kPeakUpDown = 504, kPeakHeight = 505, kQRSWidth = 506,
    kPeakSlider = 507, kMinPeriod = 508, kHelp = 509, kPreview = 511, kNoiseUnit = 516, kLowPass = 517,
  };
  static constexpr double kWindowStep = 0.1;  // s per window slider position
  static constexpr double kPeakStep = 0.05;   // S.D. per peak-height slider position and arrow click

  // Copies `settings`; builds the whole preview chain once. `document` may be null (no preview).
  DetectorDialog(IDocumentData* document, const SettingsFields& settings);

  // The copy: its six detector parameters are the dialog's after OK, as they came before.
  const SettingsFields& settings() const noexcept { return copy_; }
  // Counts the preview's rebuilds, so that a window knows when to draw it again.
  std::uint32_t preview_generation() const noexcept { return generation_; }

 private:
  void react(const DialogNotification& n) override;
  void fill_preview(std::int32_t id, DialogPreview& preview) override;
  // Reads both groups into `into`; false when an edit holds no valid value.
  bool read(SettingsFields& into) const;
  void update_preview();
  void slider_from_edit(std::int32_t slider, std::int32_t edit, double step);

  SettingsFields copy_;
  ComPtr<IDocumentData> document_;
  PreviewDetector detector_;
  double noiseFactor_ = 1;  // the source channel's unit prefix: the noise edit shows Noise / factor
  std::uint32_t generation_ = 0;
};

}  // namespace HRV
