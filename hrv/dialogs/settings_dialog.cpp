// SPDX-License-Identifier: MIT
#include "hrv/dialogs/settings_dialog.h"

#include <algorithm>
#include <array>

#include "hrv/detect/detector_dialog.h"
#include "hrv/detect/presets.h"
#include "hrv/resources/dialog_templates.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/host_services.h"

namespace HRV {

namespace {

using F = SettingsFields;

// The numeric edits and the fields they show, in the order OK reads them.
struct Binding {
  std::int32_t edit;
  double F::*field;
};
constexpr std::array<Binding, 14> kNumbers{{
    {SettingsDialog::kBinWidth, &F::BinWidthSec},     {SettingsDialog::kPRRThreshold, &F::PRRThresholdSec},
    {SettingsDialog::kSDARRPeriod, &F::SDARRPeriodSec}, {SettingsDialog::kMinRR, &F::MinRR},
    {SettingsDialog::kMaxRR, &F::MaxRR},               {SettingsDialog::kMinFF, &F::MinFF},
    {SettingsDialog::kMaxFF, &F::MaxFF},               {SettingsDialog::kMaxFrequency, &F::MaxFrequencyHz},
    {SettingsDialog::kVLFLow, &F::VLFLowHz},           {SettingsDialog::kVLFHigh, &F::VLFHighHz},
    {SettingsDialog::kLFLow, &F::LFLowHz},             {SettingsDialog::kLFHigh, &F::LFHighHz},
    {SettingsDialog::kHFLow, &F::HFLowHz},             {SettingsDialog::kHFHigh, &F::HFHighHz},
}};
constexpr std::array<std::int32_t, 6> kBandEdits{SettingsDialog::kVLFLow, SettingsDialog::kVLFHigh, SettingsDialog::kLFLow,
                                                 SettingsDialog::kLFHigh, SettingsDialog::kHFLow,  SettingsDialog::kHFHigh};

bool same_detector(const F& a, const F& b) {
  return a.Preset == b.Preset && a.LowPassHz == b.LowPassHz && a.WindowSec == b.WindowSec && a.Noise == b.Noise &&
         a.MinPeakHeightSD == b.MinPeakHeightSD && a.QRSWidthSec == b.QRSWidthSec && a.MinPeriodSec == b.MinPeriodSec;
}

}  // namespace

SettingsDialog::SettingsDialog(const std::vector<std::u16string>& channels, SettingsFields& copy, IDocumentData* document)
    : DialogController(kSettingsDialogId), copy_(copy), document_(ComPtr<IDocumentData>::retain(document)) {
  at(kChannel).items = channels;
  for (std::int32_t i = 0; i <= kCustomPreset; ++i)
    at(kPreset).items.push_back(utf8_to_utf16(LoadString(kPresetNameStringId + static_cast<std::uint32_t>(i))));
  fill();
}

void SettingsDialog::fill() {
  const auto& channels = control(kChannel).items;
  at(kChannel).selection = copy_.SourceChannel >= 0 && copy_.SourceChannel < static_cast<std::int32_t>(channels.size()) ? copy_.SourceChannel : -1;
  at(kWholeChannel).checked = !copy_.AnalyseSelection;
  at(kSelection).checked = copy_.AnalyseSelection;
  at(kAutoBinWidth).checked = copy_.AutoBinWidth;
  at(kExcludeEctopic).checked = copy_.ExcludeEctopic;
  for (const Binding& b : kNumbers) set_number(b.edit, copy_.*b.field * field(b.edit)->shown);
  set_number(kFrequencyCount, copy_.FrequencyCount);
  at(kPreset).selection = copy_.Preset >= 0 && copy_.Preset <= kCustomPreset ? copy_.Preset : -1;
  at(kAdvanced).enabled = copy_.Preset == kCustomPreset;
  narrow_bands();
}

void SettingsDialog::select_preset(std::int32_t index) {
  if (index < 0 || index > kCustomPreset) return;
  ApplyPreset(copy_, index);
  ApplyClassifierPreset(copy_, index);
  ApplySpectrumPreset(copy_, index);
  if (copy_.Preset != kCustomPreset) {
    fill();  // the species' box and bands on show
    return;
  }
  at(kAdvanced).enabled = true;  // Custom keeps every edit as it is
}

void SettingsDialog::narrow_bands() {
  // The bands follow the maximum frequency the edit holds: 10 Hz while it holds no number.
  const auto maximum = any_number(kMaxFrequency);
  const Range range = band_edge_range(maximum ? *maximum : 10.0);
  for (std::int32_t edit : kBandEdits) set_range(edit, range);
}

void SettingsDialog::react(const DialogNotification& n) {
  switch (n.code) {
    case DialogTextChanged:
      if (n.control == kMaxFrequency || std::find(kBandEdits.begin(), kBandEdits.end(), n.control) != kBandEdits.end())
        narrow_bands();
      break;
    case DialogSelected:
      if (n.control == kPreset) select_preset(n.value);
      break;
    case DialogClicked:
      if (n.control == kOk) ok();
      else if (n.control == kCancel) close(kCancel);
      else if (n.control == kHelp) help(u"HRV_Settings2");
      else if (n.control == kAdvanced) {
        advanced_ = make_com<DetectorDialog>(document_.get(), copy_);
        show(ComPtr<DialogController>::retain(advanced_.get()));
      }
      break;
    case DialogChildClosed:
      // The detector dialog's parameters are taken only when they differ from the copy's.
      if (advanced_ && advanced_->result() == kOk && !same_detector(advanced_->settings(), copy_)) {
        const F& d = advanced_->settings();
        copy_.Preset = d.Preset, copy_.LowPassHz = d.LowPassHz, copy_.WindowSec = d.WindowSec, copy_.Noise = d.Noise;
        copy_.MinPeakHeightSD = d.MinPeakHeightSD, copy_.QRSWidthSec = d.QRSWidthSec, copy_.MinPeriodSec = d.MinPeriodSec;
      }
      if (advanced_ && advanced_->result()) advanced_ = nullptr;
      break;
    default:
      break;
  }
}

bool SettingsDialog::read() {
  const std::int32_t preset = control(kPreset).selection;
  if (preset < 0) return false;
  ApplyPreset(copy_, preset);
  ApplyClassifierPreset(copy_, preset);
  ApplySpectrumPreset(copy_, preset);
  copy_.SourceChannel = control(kChannel).selection;  // -1: none chosen
  copy_.SourceKind = ChannelId::kDefaultKind;
  copy_.AnalyseSelection = control(kSelection).checked;
  copy_.AutoBinWidth = control(kAutoBinWidth).checked;
  copy_.ExcludeEctopic = control(kExcludeEctopic).checked;
  for (const Binding& b : kNumbers) copy_.*b.field = *number(b.edit) / field(b.edit)->shown;
  copy_.FrequencyCount = static_cast<std::int32_t>(*number(kFrequencyCount));
  sort_pairs(copy_);  // 1200 typed low and 800 high store 0.8 to 1.2 s
  return true;
}

bool EditInHostDialog(IHostDocument& host, const std::vector<std::u16string>& channels, SettingsFields& copy) {
  ComPtr<IDialogService> dialogs;
  auto services = ComPtr<IHostDocument>::retain(&host).query<IHostServices>();
  if (!services || FAILED(services->GetService(IDialogService::iid, reinterpret_cast<void**>(dialogs.put()))) || !dialogs)
    return false;
  ComPtr<IDocumentData> data;
  host.GetDocumentData(data.put());
  SettingsFields edited = copy;
  auto dialog = make_com<SettingsDialog>(channels, edited, data.get());
  std::int32_t result = kCancel;
  if (FAILED(dialogs->ShowModal(dialog.get(), &result)) || result != kOk) return false;
  copy = edited;
  return true;
}

void SettingsDialog::ok() {
  if (all_valid() && read()) close(kOk);
  else warn_invalid();
}

}  // namespace HRV
