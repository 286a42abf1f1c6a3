// SPDX-License-Identifier: MIT
#include "hrv/detect/presets.h"

#include <gtest/gtest.h>

namespace {

using HRV::SettingsFields;

// Every value a preset can write, with its name for failure messages.
struct Member {
  const char* name;
  double SettingsFields::*field;
};
constexpr Member kPresetMembers[] = {
    {"WindowSec", &SettingsFields::WindowSec},     {"QRSWidthSec", &SettingsFields::QRSWidthSec},
    {"MinPeriodSec", &SettingsFields::MinPeriodSec}, {"LowPassHz", &SettingsFields::LowPassHz},
    {"Noise", &SettingsFields::Noise},             {"MinPeakHeightSD", &SettingsFields::MinPeakHeightSD},
    {"MinRR", &SettingsFields::MinRR},             {"MaxRR", &SettingsFields::MaxRR},
    {"MinFF", &SettingsFields::MinFF},             {"MaxFF", &SettingsFields::MaxFF},
    {"MaxFrequencyHz", &SettingsFields::MaxFrequencyHz}, {"VLFLowHz", &SettingsFields::VLFLowHz},
    {"VLFHighHz", &SettingsFields::VLFHighHz},     {"LFLowHz", &SettingsFields::LFLowHz},
    {"LFHighHz", &SettingsFields::LFHighHz},       {"HFLowHz", &SettingsFields::HFLowHz},
    {"HFHighHz", &SettingsFields::HFHighHz},
};

SettingsFields scrambled() {
  SettingsFields s;
  double v = 1000;
  for (const Member& m : kPresetMembers) s.*(m.field) = v++;
  s.Preset = 5;
  return s;
}

void apply_all(SettingsFields& s, std::int32_t index) {
  HRV::ApplyPreset(s, index);
  HRV::ApplyClassifierPreset(s, index);
  HRV::ApplySpectrumPreset(s, index);
}

// Table values are compared exactly: they are copied, not computed.
TEST(Presets, MouseSetsItsDetectorValuesAndResetsLevelling) {
  SettingsFields s = scrambled();
  EXPECT_TRUE(HRV::ApplyPreset(s, 4));
  EXPECT_EQ(s.Preset, 4);
  EXPECT_EQ(s.WindowSec, 1.0);
  EXPECT_EQ(s.QRSWidthSec, 0.01);
  EXPECT_EQ(s.MinPeriodSec, 0.06);
  EXPECT_EQ(s.LowPassHz, 150.0);
  EXPECT_EQ(s.Noise, 0.0);
  EXPECT_EQ(s.MinPeakHeightSD, 3.0);
  EXPECT_EQ(s.MinRR, 1006.0) << "the detector preset must not touch the classifier box";
}

TEST(Presets, CustomAfterRatKeepsEveryDetectorValue) {
  SettingsFields s;
  HRV::ApplyPreset(s, 7);
  s.Noise = 2;
  s.MinPeakHeightSD = 5;
  EXPECT_TRUE(HRV::ApplyPreset(s, HRV::kCustomPreset));
  EXPECT_EQ(s.Preset, 8);
  EXPECT_EQ(s.WindowSec, 1.5);
  EXPECT_EQ(s.QRSWidthSec, 0.015);
  EXPECT_EQ(s.MinPeriodSec, 0.1);
  EXPECT_EQ(s.LowPassHz, 150.0);
  EXPECT_EQ(s.Noise, 2.0);
  EXPECT_EQ(s.MinPeakHeightSD, 5.0);
}

TEST(Presets, EverySpeciesResetsHandTunedNoiseAndThreshold) {
  for (std::int32_t index = 0; index < HRV::kSpeciesPresetCount; ++index) {
    SettingsFields s;
    HRV::ApplyPreset(s, HRV::kCustomPreset);
    s.Noise = 2;
    s.MinPeakHeightSD = 5;
    HRV::ApplyPreset(s, index);
    EXPECT_EQ(s.Noise, 0.0) << "preset " << index;
    EXPECT_EQ(s.MinPeakHeightSD, 3.0) << "preset " << index;
  }
}

TEST(Presets, FreshSettingsEqualHumanPresetAppliedThreeWays) {
  const SettingsFields fresh;
  SettingsFields s = scrambled();
  apply_all(s, 0);
  EXPECT_EQ(s.Preset, fresh.Preset);
  for (const Member& m : kPresetMembers) EXPECT_EQ(s.*(m.field), fresh.*(m.field)) << m.name;
}

TEST(Presets, GuineaPigSetsItsClassifierBoxAndBands) {
  SettingsFields s;
  EXPECT_TRUE(HRV::ApplyClassifierPreset(s, 3));
  EXPECT_TRUE(HRV::ApplySpectrumPreset(s, 3));
  EXPECT_EQ(s.MinRR, 0.35);
  EXPECT_EQ(s.MaxRR, 0.55);
  EXPECT_EQ(s.MinFF, 1.1);
  EXPECT_EQ(s.MaxFF, 1.3);
  EXPECT_EQ(s.MaxFrequencyHz, 3.0);
  EXPECT_EQ(s.VLFLowHz, 0.0);
  EXPECT_EQ(s.VLFHighHz, 0.2);
  EXPECT_EQ(s.LFLowHz, 0.2);
  EXPECT_EQ(s.LFHighHz, 0.75);
  EXPECT_EQ(s.HFLowHz, 0.75);
  EXPECT_EQ(s.HFHighHz, 2.5);
  EXPECT_EQ(s.Preset, 0) << "box and band presets do not select a preset";
}

TEST(Presets, CustomAndOutOfRangeIndexesLeaveBoxAndBandsAlone) {
  const SettingsFields before = scrambled();
  for (std::int32_t index : {8, 9, -1, 100}) {
    SettingsFields s = before;
    const bool accepted = index == HRV::kCustomPreset;
    EXPECT_EQ(HRV::ApplyClassifierPreset(s, index), accepted) << "index " << index;
    EXPECT_EQ(HRV::ApplySpectrumPreset(s, index), accepted) << "index " << index;
    for (const Member& m : kPresetMembers) EXPECT_EQ(s.*(m.field), before.*(m.field)) << m.name << ", index " << index;
  }
}

// Consistency of the tables themselves: every species row must be usable as it stands by
// the dialog (which refuses values outside these ranges) and by the spectrum code.
TEST(Presets, EverySpeciesRowIsWithinTheDialogRangesAndConsistent) {
  for (std::int32_t index = 0; index < HRV::kSpeciesPresetCount; ++index) {
    SCOPED_TRACE("preset " + std::to_string(index));
    SettingsFields s = scrambled();
    apply_all(s, index);
    EXPECT_GE(s.LowPassHz, 10.0);
    EXPECT_LE(s.LowPassHz, 200.0);
    EXPECT_GE(s.WindowSec, 0.1);
    EXPECT_LE(s.WindowSec, 20.0);
    EXPECT_GE(s.QRSWidthSec, 0.01);
    EXPECT_GE(s.MinPeriodSec, 0.01);
    EXPECT_LT(s.QRSWidthSec, s.MinPeriodSec);
    EXPECT_LT(s.MinRR, s.MaxRR);
    EXPECT_LT(s.MinFF, s.MaxFF);
    EXPECT_EQ(s.VLFLowHz, 0.0);
    EXPECT_LT(s.VLFLowHz, s.VLFHighHz);
    EXPECT_EQ(s.VLFHighHz, s.LFLowHz);
    EXPECT_LT(s.LFLowHz, s.LFHighHz);
    EXPECT_EQ(s.LFHighHz, s.HFLowHz);
    EXPECT_LT(s.HFLowHz, s.HFHighHz);
    EXPECT_LE(s.HFHighHz, s.MaxFrequencyHz);
  }
}

}  // namespace
