// SPDX-License-Identifier: MIT
// "HRV Settings": what to analyse and how, on a working copy of the settings that the
// caller applies when the dialog ends with OK. "Advanced..." (for the Custom preset only)
// opens the detector dialog on a second copy.
#pragma once

#include <string>
#include <vector>

#include "hrv/dialogs/dialog_controller.h"
#include "sdk/host/document_data.h"
#include "sdk/host/host_document.h"

namespace HRV {

class SettingsDialog final : public DialogController {
 public:
  enum : std::int32_t {
    kChannel = 100, kWholeChannel = 101, kSelection = 102, kPreset = 110, kAdvanced = 111,
    kBinWidth = 120, kPRRThreshold = 121, kAutoBinWidth = 122, kExcludeEctopic = 123, kSDARRPeriod = 126,
    kMaxFrequency = 130, kFrequencyCount = 132, kVLFLow = 134, kVLFHigh = 135, kLFLow = 138, kLFHigh = 139,
    kHFLow = 142, kHFHigh = 143, kMinRR = 150, kMaxRR = 151, kMinFF = 154, kMaxFF = 155, kHelp = 160,
  };

  // `copy` (taken by reference) is filled in; `document` (may be null) is what the detector
  // dialog previews.
  SettingsDialog(const std::vector<std::u16string>& channels, SettingsFields& copy, IDocumentData* document);

 private:
  void react(const DialogNotification& n) override;
  void fill();
  void select_preset(std::int32_t index);
  void narrow_bands();
  // Reads the dialog into the copy; false (the copy partly written) when a value is missing.
  bool read();
  void ok();

  SettingsFields& copy_;
  ComPtr<IDocumentData> document_;
  ComPtr<class DetectorDialog> advanced_;
};

// Shows the settings dialog on `copy` through the host's dialog service; true when the user
// accepted it. False, the copy untouched, when the host shows no dialogs.
bool EditInHostDialog(IHostDocument& host, const std::vector<std::u16string>& channels, SettingsFields& copy);

}  // namespace HRV
