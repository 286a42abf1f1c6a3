// SPDX-License-Identifier: MIT
// The settings record as named properties: every value under its field name, with the range
// a person may set it to. These are the rules of the settings dialogs, and hosts that load
// settings files apply the same ones (refusals, sorted pairs, band edges narrowed by the
// maximum frequency), so a value is accepted or refused the same way everywhere.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "hrv/core/settings_fields.h"

namespace HRV {

struct SettingsProperty {
  std::u16string_view name;
  std::variant<std::int32_t SettingsFields::*, double SettingsFields::*, bool SettingsFields::*> field;
  double min;  // accepted range in stored units, inclusive; booleans 0..1
  double max;
  double shown = 1;  // the dialogs show the value times this (1000: seconds shown in ms)
};

// Every persisted value, in record order.
std::span<const SettingsProperty> settings_properties();
// The property of that name, or null.
const SettingsProperty* find_settings_property(std::u16string_view name) noexcept;

struct Range {
  double min;
  double max;
  bool contains(double x) const noexcept;  // inclusive, with room for the rounding of a unit change
};

// Spectrum band edges lie between 0 and the maximum frequency, itself clamped to its range.
bool is_band_edge(const SettingsProperty& p) noexcept;
Range band_edge_range(double maxFrequencyHz) noexcept;
// The range `p` accepts in stored units, its band edges narrowed by `fields`'s maximum frequency.
Range accepted_range(const SettingsProperty& p, const SettingsFields& fields) noexcept;

// Why `value` (stored units) cannot be `p` beside `fields`, said after the field's name, or
// empty when it can: out of range ("5 is outside the range 10 to 200") or, for a
// whole-number field, a fraction.
std::string refusal(const SettingsProperty& p, double value, const SettingsFields& fields);

// The edges kept as low-high pairs: RR, complexity and the three spectrum bands.
struct SettingsPair {
  double SettingsFields::*low;
  double SettingsFields::*high;
};
std::span<const SettingsPair> settings_pairs();
// Stores each pair sorted: the smaller value becomes the low edge, whichever it was given as.
void sort_pairs(SettingsFields& fields) noexcept;

// Puts back the default of every value outside its range (NaN included) and of both ends of
// a range whose ends are out of order, as a stored record may hold anything: the statistics
// loop and allocate on these values. The names of the values reset, in record order.
std::vector<std::u16string_view> reset_out_of_range(SettingsFields& fields);

}  // namespace HRV
