// SPDX-License-Identifier: MIT
// "HRV Calculations": which beat value an HRV Calculation channel shows, and whether the
// channel gets guide lines at the classifier box's limits.
#pragma once

#include <vector>

#include "hrv/dialogs/dialog_controller.h"
#include "hrv/host/channel_calc.h"

namespace HRV {

class CalculationsDialog final : public DialogController {
 public:
  enum : std::int32_t { kParameter = 170, kGuideLines = 171, kHelp = 160 };

  // Edits `settings` (taken by reference): a selection change and OK store into it.
  explicit CalculationsDialog(ChannelCalc::Settings& settings);

 private:
  void react(const DialogNotification& n) override;
  void store();

  ChannelCalc::Settings& settings_;
  ComPtr<ChannelCalc::Settings> keep_;  // the settings live as long as their dialog
  std::vector<std::int32_t> parameters_;  // each list entry's selector type
};

}  // namespace HRV
