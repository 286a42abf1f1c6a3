// SPDX-License-Identifier: MIT
// The values of the settings record, with their defaults. HRV::Settings (settings.h) adds
// persistence and change tracking; engine code reads the plain values.
#pragma once

#include <cstdint>

#include "sdk/host/channel_id.h"
#include "sdk/tick_position.h"

namespace HRV {

struct SettingsFields {
  // Data source.
  std::int32_t SourceChannel = 0;
  std::int32_t SourceKind = ChannelId::kDefaultKind;
  bool AnalyseSelection = false;  // analyse the chart selection instead of the whole channel
  bool ShowMarkers = true;

  // Analysis region (unset while a record is unset).
  std::int32_t StartTick = TickPosition::kUnset;
  std::int32_t StartRecord = TickPosition::kUnset;
  std::int32_t EndTick = TickPosition::kUnset;
  std::int32_t EndRecord = TickPosition::kUnset;

  // Statistics.
  double BinWidthSec = 0.01;      // histogram bin width, s
  bool AutoBinWidth = false;      // choose the bin width by Scott's rule
  double PRRThresholdSec = 0.05;  // pRRx threshold, s
  double SDARRPeriodSec = 300.0;  // SDARR averaging period, s
  bool ExcludeEctopic = true;
  bool OnlineMode = false;        // analyse while sampling

  // Classifier box.
  double MinRR = 0.8;  // s
  double MaxRR = 1.2;  // s
  double MinFF = 1.0;
  double MaxFF = 1.5;

  // Detector.
  std::int32_t Preset = 0;                 // species preset 0..8 (8 = Custom)
  std::int32_t PresetScratch = TickPosition::kUnset;  // not persisted, not compared
  double LowPassHz = 30.0;
  double WindowSec = 5.0;        // auto-levelling window, s
  double Noise = 0.0;            // auto-levelling noise floor, source units
  double MinPeakHeightSD = 3.0;  // detection threshold, standard deviations
  double QRSWidthSec = 0.08;     // s
  double MinPeriodSec = 0.3;     // s

  // Spectrum.
  double MaxFrequencyHz = 0.5;
  double VLFLowHz = 0.0;
  double VLFHighHz = 0.04;
  double LFLowHz = 0.04;
  double LFHighHz = 0.15;
  double HFLowHz = 0.15;
  double HFHighHz = 0.45;
  std::int32_t FrequencyCount = 500;
  std::int32_t WindowFunction = 5;  // spectrum taper, 5 = Hann

  constexpr TickPosition region_start() const noexcept { return {StartTick, StartRecord}; }
  constexpr TickPosition region_end() const noexcept { return {EndTick, EndRecord}; }
  constexpr bool region_set() const noexcept {
    return StartRecord != TickPosition::kUnset && EndRecord != TickPosition::kUnset;
  }

  // Every field, the scratch preset too.
  friend bool operator==(const SettingsFields&, const SettingsFields&) = default;
};

}  // namespace HRV
