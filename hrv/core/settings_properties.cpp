// SPDX-License-Identifier: MIT
#include "hrv/core/settings_properties.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace HRV {

namespace {
constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr double kMs = 1000;  // seconds shown in milliseconds
constexpr double kMaxFrequencyLimit = 10;
using F = SettingsFields;

std::string number_text(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", x);
  return text;
}

}  // namespace

std::span<const SettingsProperty> settings_properties() {
  // The ranges the settings dialogs accept (stored units: a range the dialog shows as 0.1 to
  // 10000 ms is 0.0001 to 10 s here); values no dialog edits keep their type's range.
  static const std::array<SettingsProperty, 34> table{{
      {u"SourceChannel", &F::SourceChannel, 0, kIntMax},
      {u"SourceKind", &F::SourceKind, kIntMin, kIntMax},
      {u"AnalyseSelection", &F::AnalyseSelection, 0, 1},
      {u"ShowMarkers", &F::ShowMarkers, 0, 1},
      {u"StartTick", &F::StartTick, kIntMin, kIntMax},
      {u"StartRecord", &F::StartRecord, kIntMin, kIntMax},
      {u"EndTick", &F::EndTick, kIntMin, kIntMax},
      {u"EndRecord", &F::EndRecord, kIntMin, kIntMax},
      {u"BinWidthSec", &F::BinWidthSec, 0.1 / kMs, 10000 / kMs, kMs},
      {u"AutoBinWidth", &F::AutoBinWidth, 0, 1},
      {u"PRRThresholdSec", &F::PRRThresholdSec, 0.001 / kMs, 1000 / kMs, kMs},
      {u"SDARRPeriodSec", &F::SDARRPeriodSec, 1, 3600},
      {u"ExcludeEctopic", &F::ExcludeEctopic, 0, 1},
      {u"OnlineMode", &F::OnlineMode, 0, 1},
      {u"MinRR", &F::MinRR, 0, 60000 / kMs, kMs},
      {u"MaxRR", &F::MaxRR, 0, 60000 / kMs, kMs},
      {u"MinFF", &F::MinFF, 0, 10},
      {u"MaxFF", &F::MaxFF, 0, 10},
      {u"Preset", &F::Preset, 0, 8},
      {u"LowPassHz", &F::LowPassHz, 10, 200},
      {u"WindowSec", &F::WindowSec, 0.1, 20},
      {u"Noise", &F::Noise, 0, 10},
      {u"MinPeakHeightSD", &F::MinPeakHeightSD, 0.05, 9},
      {u"QRSWidthSec", &F::QRSWidthSec, 10 / kMs, 10000 / kMs, kMs},
      {u"MinPeriodSec", &F::MinPeriodSec, 10 / kMs, 100000 / kMs, kMs},
      {u"MaxFrequencyHz", &F::MaxFrequencyHz, 0, kMaxFrequencyLimit},
      {u"VLFLowHz", &F::VLFLowHz, 0, kMaxFrequencyLimit},
      {u"VLFHighHz", &F::VLFHighHz, 0, kMaxFrequencyLimit},
      {u"LFLowHz", &F::LFLowHz, 0, kMaxFrequencyLimit},
      {u"LFHighHz", &F::LFHighHz, 0, kMaxFrequencyLimit},
      {u"HFLowHz", &F::HFLowHz, 0, kMaxFrequencyLimit},
      {u"HFHighHz", &F::HFHighHz, 0, kMaxFrequencyLimit},
      {u"FrequencyCount", &F::FrequencyCount, 10, 10000},
      {u"WindowFunction", &F::WindowFunction, 0, 5},
  }};
  return table;
}

const SettingsProperty* find_settings_property(std::u16string_view name) noexcept {
  for (const SettingsProperty& p : settings_properties())
    if (p.name == name) return &p;
  return nullptr;
}

bool Range::contains(double x) const noexcept {
  // A range written in milliseconds and kept in seconds (0.001 / 1000) may differ from the
  // typed value by a unit in the last place; that is not a refusal.
  const double slack = 1e-12 * std::max(std::abs(min), std::abs(max));
  return x >= min - slack && x <= max + slack;
}

bool is_band_edge(const SettingsProperty& p) noexcept {
  static constexpr double F::*edges[] = {&F::VLFLowHz, &F::VLFHighHz, &F::LFLowHz, &F::LFHighHz, &F::HFLowHz, &F::HFHighHz};
  const auto* member = std::get_if<double F::*>(&p.field);
  return member && std::find(std::begin(edges), std::end(edges), *member) != std::end(edges);
}

Range band_edge_range(double maxFrequencyHz) noexcept {
  if (!(maxFrequencyHz >= 0)) maxFrequencyHz = kMaxFrequencyLimit;  // NaN too
  return {0, std::min(maxFrequencyHz, kMaxFrequencyLimit)};
}

Range accepted_range(const SettingsProperty& p, const SettingsFields& fields) noexcept {
  return is_band_edge(p) ? band_edge_range(fields.MaxFrequencyHz) : Range{p.min, p.max};
}

std::string refusal(const SettingsProperty& p, double value, const SettingsFields& fields) {
  const Range range = accepted_range(p, fields);
  if (!range.contains(value)) {
    std::string why = number_text(value) + " is outside the range " + number_text(range.min) + " to " +
                      number_text(range.max);
    if (is_band_edge(p)) why += " (a band edge lies within MaxFrequencyHz " + number_text(fields.MaxFrequencyHz) + ")";
    return why;
  }
  if (!std::holds_alternative<double F::*>(p.field) && value != std::trunc(value)) return "must be a whole number";
  return {};
}

std::span<const SettingsPair> settings_pairs() {
  static constexpr SettingsPair pairs[] = {{&F::MinRR, &F::MaxRR},     {&F::MinFF, &F::MaxFF},   {&F::VLFLowHz, &F::VLFHighHz},
                                           {&F::LFLowHz, &F::LFHighHz}, {&F::HFLowHz, &F::HFHighHz}};
  return pairs;
}

void sort_pairs(SettingsFields& fields) noexcept {
  for (const SettingsPair& pair : settings_pairs())
    if (fields.*pair.high < fields.*pair.low) std::swap(fields.*pair.low, fields.*pair.high);
}

std::vector<std::u16string_view> reset_out_of_range(SettingsFields& fields) {
  const SettingsFields defaults;
  std::vector<std::u16string_view> reset;
  for (const SettingsProperty& p : settings_properties())
    std::visit(
        [&](auto member) {
          const double x = static_cast<double>(fields.*member);
          if (Range{p.min, p.max}.contains(x)) return;
          fields.*member = defaults.*member;
          reset.push_back(p.name);
        },
        p.field);
  const auto ordered = [&](double F::*low, double F::*high, std::u16string_view lowName, std::u16string_view highName) {
    if (fields.*low <= fields.*high) return;
    fields.*low = defaults.*low, fields.*high = defaults.*high;
    reset.insert(reset.end(), {lowName, highName});
  };
  ordered(&F::MinRR, &F::MaxRR, u"MinRR", u"MaxRR");
  ordered(&F::MinFF, &F::MaxFF, u"MinFF", u"MaxFF");
  ordered(&F::VLFLowHz, &F::VLFHighHz, u"VLFLowHz", u"VLFHighHz");
  ordered(&F::LFLowHz, &F::LFHighHz, u"LFLowHz", u"LFHighHz");
  ordered(&F::HFLowHz, &F::HFHighHz, u"HFLowHz", u"HFHighHz");
  return reset;
}

}  // namespace HRV
