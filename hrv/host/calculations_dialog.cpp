// SPDX-License-Identifier: MIT
#include "hrv/host/calculations_dialog.h"

#include "hrv/resources/dialog_templates.h"
#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {
constexpr std::int32_t kPeriodChange = 1;  // has no box limits, so no guide lines
constexpr std::int32_t kLastType = 5;
}  // namespace

CalculationsDialog::CalculationsDialog(ChannelCalc::Settings& settings)
    : DialogController(kCalculationsDialogId), settings_(settings), keep_(ComPtr<ChannelCalc::Settings>::retain(&settings)) {
  // The types the dialog offers are those with a dialog text, in type order.
  for (std::int32_t type = 0; type <= kLastType; ++type)
    if (const ChannelParameter* p = channel_parameter(type); p && p->nameId) {
      if (type == settings.Parameter) at(kParameter).selection = static_cast<std::int32_t>(parameters_.size());
      parameters_.push_back(type);
      at(kParameter).items.push_back(utf8_to_utf16(LoadString(p->nameId)));
    }
  at(kGuideLines).checked = settings.GuideLines;
  at(kGuideLines).enabled = settings.Parameter != kPeriodChange;
}

HRESULT ChannelCalc::Settings::CreateDialog(IExtensionDialog** dialog) {
  if (!dialog) return E_POINTER;
  *dialog = nullptr;
  return guard([&] {
    *dialog = make_com<CalculationsDialog>(*this).detach();
    return S_OK;
  });
}

void CalculationsDialog::store() {
  if (const std::int32_t i = control(kParameter).selection; i >= 0) settings_.Parameter = parameters_[static_cast<std::size_t>(i)];
  settings_.GuideLines = control(kGuideLines).checked;
  settings_.dirty = true;
  at(kGuideLines).enabled = settings_.Parameter != kPeriodChange;
}

void CalculationsDialog::react(const DialogNotification& n) {
  if (n.code == DialogSelected && n.control == kParameter) store();
  if (n.code != DialogClicked) return;
  if (n.control == kHelp) help(u"HRV_Calculations");
  if (n.control == kCancel) close(kCancel);
  if (n.control == kOk) {
    store();
    close(kOk);
  }
}

}  // namespace HRV
