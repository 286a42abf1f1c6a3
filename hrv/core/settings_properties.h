// SPDX-License-Identifier: MIT
// The settings record as named properties: every value under its field name, with the range
// a person may set it to. Hosts load settings files and write results through this table.
#pragma once

#include <span>
#include <string_view>
#include <variant>

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

}  // namespace HRV
