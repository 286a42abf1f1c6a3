// SPDX-License-Identifier: MIT
#include "hrv/detect/detector_dialog.h"

#include <algorithm>
#include <cmath>

#include "hrv/resources/dialog_templates.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint32_t kSourceColour = 0x008000FF;  // RGB (255, 0, 128)
constexpr double kEnvelopeScale = 10;                 // the normalised envelope is drawn from -10 to 10 S.D.

// The factor of a unit's SI prefix ("mV" gives 0.001); 1 without one.
double prefix_factor(std::u16string_view unit) {
  if (unit.size() < 2) return 1;
  switch (unit[0]) {
    case u'p': return 1e-12;
    case u'n': return 1e-9;
    case u'u':
    case u'\u00B5': return 1e-6;
    case u'm': return 1e-3;
    case u'k': return 1e3;
    case u'M': return 1e6;
    case u'G': return 1e9;
    default: return 1;
  }
}

// A slider position for an edit's value: truncated, with room for 0.3 / 0.1 landing just
// below 3.
std::int32_t position_of(double value, double step) { return static_cast<std::int32_t>(std::trunc(value / step + 1e-9)); }

}  // namespace

DetectorDialog::DetectorDialog(IDocumentData* document, const SettingsFields& settings)
    : DialogController(kDetectorDialogId), copy_(settings), document_(ComPtr<IDocumentData>::retain(document)), detector_(document) {
  // The preview never depends on the document's analysis region: it covers the recording.
  copy_.StartRecord = 0, copy_.StartTick = 0;
  copy_.EndRecord = TickPosition::kUnset, copy_.EndTick = TickPosition::kUnset;
  if (document_) {
    Bstr unit;
    if (SUCCEEDED(document_->GetChannelUnit({copy_.SourceChannel, copy_.SourceKind}, unit.put())) && unit.get()) {
      at(kNoiseUnit).text = unit.view();
      noiseFactor_ = prefix_factor(unit.view());
    }
  }
  set_number(kWindow, copy_.WindowSec);
  at(kWindowSlider).position = position_of(copy_.WindowSec, kWindowStep);
  set_number(kNoise, copy_.Noise / noiseFactor_);
  set_number(kPeakHeight, copy_.MinPeakHeightSD);
  at(kPeakSlider).position = position_of(copy_.MinPeakHeightSD, kPeakStep);
  set_number(kQRSWidth, copy_.QRSWidthSec * 1000);
  set_number(kMinPeriod, copy_.MinPeriodSec * 1000);
  set_number(kLowPass, copy_.LowPassHz);
  if (detector_.Build(AllGroups, &copy_)) detector_.ShowBeatMarkers(&copy_);
}

bool DetectorDialog::read(SettingsFields& into) const {
  for (std::int32_t edit : {kWindow, kNoise, kPeakHeight, kQRSWidth, kMinPeriod, kLowPass})
    if (!valid(edit)) return false;
  into.WindowSec = *number(kWindow);
  into.Noise = *number(kNoise) * noiseFactor_;
  into.MinPeakHeightSD = *number(kPeakHeight);
  into.QRSWidthSec = *number(kQRSWidth) / 1000;
  into.MinPeriodSec = *number(kMinPeriod) / 1000;
  into.LowPassHz = *number(kLowPass);
  return true;
}

void DetectorDialog::update_preview() {
  SettingsFields next = copy_;
  if (!read(next)) return;  // an invalid value keeps the last valid preview
  if (detector_.Build(AllGroups, &next)) detector_.ShowBeatMarkers(&next);
  ++generation_;
}

void DetectorDialog::slider_from_edit(std::int32_t slider, std::int32_t edit, double step) {
  if (const auto x = number(edit)) at(slider).position = position_of(*x, step);
}

void DetectorDialog::react(const DialogNotification& n) {
  switch (n.code) {
    case DialogTextChanged:
      if (n.control == kWindow) slider_from_edit(kWindowSlider, kWindow, kWindowStep);
      if (n.control == kPeakHeight) slider_from_edit(kPeakSlider, kPeakHeight, kPeakStep);
      update_preview();
      break;
    case DialogSliding:
    case DialogSlid: {
      // Dragging only rewrites the edit: every rebuild re-evaluates all seven stages.
      const bool window = n.control == kWindowSlider;
      if (!window && n.control != kPeakSlider) break;
      set_number(window ? kWindow : kPeakHeight, control(n.control).position * (window ? kWindowStep : kPeakStep));
      if (n.code == DialogSlid) update_preview();
      break;
    }
    case DialogStepped:
      if (n.control == kPeakUpDown) {
        const double now = any_number(kPeakHeight).value_or(kPeakStep);
        notify(kPeakHeight, DialogTextChanged, 0, edit_text(std::clamp(now + kPeakStep * n.value, kPeakStep, 9.0)));
      }
      break;
    case DialogClicked:
      if (n.control == kHelp) help(u"HRV_Signal_Preprocessing");
      else if (n.control == kCancel) close(kCancel);
      else if (n.control == kOk) {
        if (all_valid() && read(copy_)) close(kOk);
        else warn_invalid();
      }
      break;
    default:
      break;
  }
}

void DetectorDialog::fill_preview(std::int32_t id, DialogPreview& preview) {
  if (id != kPreview) DialogController::fill_preview(id, preview);
  preview.source = {copy_.SourceChannel, copy_.SourceKind};
  preview.sourceColour = kSourceColour;
  preview.events = detector_.Lookup(detector_.FiducialName());
  preview.trace = detector_.Lookup(detector_.NormalisedName());
  preview.traceBottom = -kEnvelopeScale, preview.traceTop = kEnvelopeScale;
  preview.generation = generation_;
  preview.traceUnit = SysAllocString(u"S.D.");
}

}  // namespace HRV
