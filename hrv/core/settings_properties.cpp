// SPDX-License-Identifier: MIT
#include "hrv/core/settings_properties.h"

#include <array>
#include <limits>

namespace HRV {

namespace {
constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();
using F = SettingsFields;
}  // namespace

std::span<const SettingsProperty> settings_properties() {
  // Detector ranges are those the detector settings dialog accepts; the others keep values
  // physically meaningful (positive widths and periods, frequencies up to 100 Hz).
  static const std::array<SettingsProperty, 34> table{{
      {u"SourceChannel", &F::SourceChannel, 0, kIntMax},
      {u"SourceKind", &F::SourceKind, kIntMin, kIntMax},
      {u"AnalyseSelection", &F::AnalyseSelection, 0, 1},
      {u"ShowMarkers", &F::ShowMarkers, 0, 1},
      {u"StartTick", &F::StartTick, kIntMin, kIntMax},
      {u"StartRecord", &F::StartRecord, kIntMin, kIntMax},
      {u"EndTick", &F::EndTick, kIntMin, kIntMax},
      {u"EndRecord", &F::EndRecord, kIntMin, kIntMax},
      {u"BinWidthSec", &F::BinWidthSec, 1e-6, 10},
      {u"AutoBinWidth", &F::AutoBinWidth, 0, 1},
      {u"PRRThresholdSec", &F::PRRThresholdSec, 0, 10},
      {u"SDARRPeriodSec", &F::SDARRPeriodSec, 1, 86400},
      {u"ExcludeEctopic", &F::ExcludeEctopic, 0, 1},
      {u"OnlineMode", &F::OnlineMode, 0, 1},
      {u"MinRR", &F::MinRR, 0, 60},
      {u"MaxRR", &F::MaxRR, 0, 60},
      {u"MinFF", &F::MinFF, 0, 10},
      {u"MaxFF", &F::MaxFF, 0, 10},
      {u"Preset", &F::Preset, 0, 8},
      {u"LowPassHz", &F::LowPassHz, 10, 200},
      {u"WindowSec", &F::WindowSec, 0.1, 20},
      {u"Noise", &F::Noise, 0, 10},
      {u"MinPeakHeightSD", &F::MinPeakHeightSD, 0.05, 9},
      {u"QRSWidthSec", &F::QRSWidthSec, 0.01, 10},
      {u"MinPeriodSec", &F::MinPeriodSec, 0.01, 100},
      {u"MaxFrequencyHz", &F::MaxFrequencyHz, 1e-3, 100},
      {u"VLFLowHz", &F::VLFLowHz, 0, 100},
      {u"VLFHighHz", &F::VLFHighHz, 0, 100},
      {u"LFLowHz", &F::LFLowHz, 0, 100},
      {u"LFHighHz", &F::LFHighHz, 0, 100},
      {u"HFLowHz", &F::HFLowHz, 0, 100},
      {u"HFHighHz", &F::HFHighHz, 0, 100},
      {u"FrequencyCount", &F::FrequencyCount, 1, 100000},
      {u"WindowFunction", &F::WindowFunction, 0, 5},
  }};
  return table;
}

std::vector<std::u16string_view> reset_out_of_range(SettingsFields& fields) {
  const SettingsFields defaults;
  std::vector<std::u16string_view> reset;
  for (const SettingsProperty& p : settings_properties())
    std::visit(
        [&](auto member) {
          const double x = static_cast<double>(fields.*member);
          if (x >= p.min && x <= p.max) return;
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
