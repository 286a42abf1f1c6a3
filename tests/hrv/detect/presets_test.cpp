// SPDX-License-Identifier: MIT
#include "hrv/detect/presets.h"

#include <gtest/gtest.h>

#include "hrv/resources/string_table.h"

namespace {

using HRV::SettingsFields;

// Every value a preset can write, with its name for failure messages.
struct Member {
  const char* name;
  double SettingsFields::*field;
};
constexpr Member kPresetMembers[] = {
    {"WindowSec", &SettingsFields::WindowSec}, {"QRSWidthSec", &SettingsFields::QRSWidthSec},
    {"MinPeriodSec", &SettingsFields::MinPeriodSec}, {"LowPassHz", &SettingsFields::LowPassHz},
    {"Noise", &SettingsFields::Noise}, {"MinPeakHeightSD", &SettingsFields::MinPeakHeightSD},
    {"MinRR", &SettingsFields::MinRR}, {"MaxRR", &SettingsFields::MaxRR}, {"MinFF", &SettingsFields::MinFF},
    {"MaxFF", &SettingsFields::MaxFF}, {"MaxFrequencyHz", &SettingsFields::MaxFrequencyHz},
    {"VLFLowHz", &SettingsFields::VLFLowHz}, {"VLFHighHz", &SettingsFields::VLFHighHz},
    {"LFLowHz", &SettingsFields::LFLowHz}, {"LFHighHz", &SettingsFields::LFHighHz},
    {"HFLowHz", &SettingsFields::HFLowHz}, {"HFHighHz", &SettingsFields::HFHighHz},
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

TEST(Presets, NamesFollowTheIndexOrder) {
  const char* names[] = {"Human", "Large Dog", "Small Dog", "Guinea Pig", "Mouse", "Pig", "Rabbit", "Rat", "Custom"};
  for (std::uint32_t index = 0; index < std::size(names); ++index)
    EXPECT_EQ(HRV::LoadString(HRV::kPresetNameStringId + index), names[index]) << "preset " << index;
}

TEST(Presets, FreshSettingsEqualTheHumanPresetAppliedThreeWays) {
  const SettingsFields fresh;
  SettingsFields s = scrambled();
  apply_all(s, 0);
  EXPECT_EQ(s.Preset, fresh.Preset);
  for (const Member& m : kPresetMembers) EXPECT_EQ(s.*(m.field), fresh.*(m.field)) << m.name;
}

TEST(Presets, ASpeciesResetsHandTunedLevellingAndCustomKeepsEveryValue) {
  for (std::int32_t index = 0; index < HRV::kSpeciesPresetCount; ++index) {
    SettingsFields s = scrambled();
    EXPECT_TRUE(HRV::ApplyPreset(s, index));
    EXPECT_EQ(s.Preset, index);
    EXPECT_EQ(s.Noise, 0.0) << "preset " << index;
    EXPECT_EQ(s.MinPeakHeightSD, 3.0) << "preset " << index;
    EXPECT_EQ(s.MinRR, 1006.0) << "the detector preset must not touch the classifier box";
    const SettingsFields before = s;
    EXPECT_TRUE(HRV::ApplyPreset(s, HRV::kCustomPreset));
    EXPECT_EQ(s.Preset, HRV::kCustomPreset);
    for (const Member& m : kPresetMembers) EXPECT_EQ(s.*(m.field), before.*(m.field)) << m.name << ", preset " << index;
  }
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

// Every species row must be usable as it stands by the dialog (which refuses values outside
// these ranges) and by the spectrum code.
TEST(Presets, EverySpeciesRowIsWithinTheDialogRangesAndConsistent) {
  for (std::int32_t index = 0; index < HRV::kSpeciesPresetCount; ++index) {
    SCOPED_TRACE("preset " + std::to_string(index));
    SettingsFields s = scrambled();
    apply_all(s, index);
    EXPECT_TRUE(s.LowPassHz >= 10.0 && s.LowPassHz <= 200.0) << s.LowPassHz;
    EXPECT_TRUE(s.WindowSec >= 0.1 && s.WindowSec <= 20.0) << s.WindowSec;
    EXPECT_TRUE(s.QRSWidthSec >= 0.01 && s.QRSWidthSec < s.MinPeriodSec) << s.QRSWidthSec << " " << s.MinPeriodSec;
    EXPECT_LT(s.MinRR, s.MaxRR);
    EXPECT_LT(s.MinFF, s.MaxFF);
    EXPECT_EQ(s.VLFLowHz, 0.0);
    EXPECT_EQ(s.VLFHighHz, s.LFLowHz);
    EXPECT_EQ(s.LFHighHz, s.HFLowHz);
    EXPECT_TRUE(s.VLFLowHz < s.VLFHighHz && s.LFLowHz < s.LFHighHz && s.HFLowHz < s.HFHighHz && s.HFHighHz <= s.MaxFrequencyHz);
  }
}

}  // namespace
