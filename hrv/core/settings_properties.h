// SPDX-License-Identifier: MIT
// The settings record as named properties: every value under its field name, with the range
// a person may set it to. Hosts load settings files and write results through this table.
#pragma once

#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "hrv/core/settings_fields.h"

namespace HRV {

struct SettingsProperty {
  std::u16string_view name;
  std::variant<std::int32_t SettingsFields::*, double SettingsFields::*, bool SettingsFields::*> field;
  double min;  // accepted range, inclusive; booleans 0..1
  double max;
};

// Every persisted value, in record order.
std::span<const SettingsProperty> settings_properties();

// Puts back the default of every value outside its range (NaN included) and of both ends of
// a range whose ends are out of order, as a stored record may hold anything: the statistics
// loop and allocate on these values. The names of the values reset, in record order.
std::vector<std::u16string_view> reset_out_of_range(SettingsFields& fields);

}  // namespace HRV
