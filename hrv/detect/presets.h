// SPDX-License-Identifier: MIT
// Species presets: detector parameters, classifier box and spectral bands suited to the
// heart rate and QRS duration of a species. The settings dialog applies all three with the
// index the user picked from the preset list (string-table texts 18 to 26 in that order).
#pragma once

#include <cstdint>

#include "hrv/core/settings_fields.h"

namespace HRV {

inline constexpr std::int32_t kSpeciesPresetCount = 8;  // indexes 0..7
inline constexpr std::int32_t kCustomPreset = 8;         // keeps the values in force
inline constexpr std::uint32_t kPresetNameStringId = 18;  // text id of preset 0's name

// Stores `index` in Preset; for a species index (0..7) also writes WindowSec, QRSWidthSec,
// MinPeriodSec and LowPassHz from the species table. Every index but 8 (Custom) then
// resets Noise to 0 and MinPeakHeightSD to 3. Always returns true: callers offer only the
// nine listed entries, so an index outside 0..8 is stored without a table row.
bool ApplyPreset(SettingsFields& settings, std::int32_t index);

// Writes MinRR, MaxRR, MinFF and MaxFF for a species index. True for 0..8 (8 changes
// nothing); false and nothing changed for any other index.
bool ApplyClassifierPreset(SettingsFields& settings, std::int32_t index);

// Writes MaxFrequencyHz and the six band edges for a species index. True for 0..8 (8
// changes nothing); false and nothing changed for any other index.
bool ApplySpectrumPreset(SettingsFields& settings, std::int32_t index);

}  // namespace HRV
