// SPDX-License-Identifier: MIT
// The extension's dialog templates: every control with its id, text, place and range, in
// tab order. An edit names the settings field whose range it accepts (settings_properties.h).
#pragma once

#include <cstdint>

#include "sdk/host/dialogs.h"

namespace HRV {

inline constexpr std::int32_t kSettingsDialogId = 100;          // "HRV Settings"
inline constexpr std::int32_t kDetectorDialogId = 500;          // "HRV Detector Settings"
inline constexpr std::int32_t kCalculationsDialogId = 170;      // "HRV Calculations"
inline constexpr std::int32_t kSettingsWarningDialogId = 600;   // the invalid-settings message

// The template with that id, or null.
const DialogTemplate* FindDialogTemplate(std::int32_t id) noexcept;

}  // namespace HRV
