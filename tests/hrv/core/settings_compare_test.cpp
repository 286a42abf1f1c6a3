// SPDX-License-Identifier: MIT
// The change mask between two settings records, and the assignment the settings dialog uses.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "hrv/core/settings.h"
#include "settings_test_support.h"

namespace {

using HRV::Settings;
using HRV::SettingsFields;
using namespace settings_test;

constexpr std::uint32_t kAll = 0xFFFFFFFFu;

struct MaskCase {
  const char* change;
  std::function<void(SettingsFields&)> apply;
  std::uint32_t mask;
};

const MaskCase kMaskCases[] = {
    {"SourceChannel", [](SettingsFields& s) { s.SourceChannel = 2; }, kAll},
    {"SourceKind", [](SettingsFields& s) { s.SourceKind = 1; }, kAll},
    {"AnalyseSelection", [](SettingsFields& s) { s.AnalyseSelection = true; }, kAll},
    {"StartTick", [](SettingsFields& s) { s.StartTick = 0; }, kAll},
    {"StartRecord", [](SettingsFields& s) { s.StartRecord = 0; }, kAll},
    {"EndTick", [](SettingsFields& s) { s.EndTick = 0; }, kAll},
    {"EndRecord", [](SettingsFields& s) { s.EndRecord = 0; }, kAll},
    {"ExcludeEctopic", [](SettingsFields& s) { s.ExcludeEctopic = false; }, 0x4FFFFFF},
    {"BinWidthSec", [](SettingsFields& s) { s.BinWidthSec = 0.02; }, 0x20000},
    {"AutoBinWidth", [](SettingsFields& s) { s.AutoBinWidth = true; }, 0x20000},
    {"PRRThresholdSec", [](SettingsFields& s) { s.PRRThresholdSec = 0.02; }, 0x40000},
    {"SDARRPeriodSec", [](SettingsFields& s) { s.SDARRPeriodSec = 60; }, 0x100},
    {"MinRR", [](SettingsFields& s) { s.MinRR = 0.7; }, 0x4FFFFFF},
    {"MaxRR", [](SettingsFields& s) { s.MaxRR = 1.3; }, 0x4FFFFFF},
    {"MinFF", [](SettingsFields& s) { s.MinFF = 0.9; }, 0x4FFFFFF},
    {"MaxFF", [](SettingsFields& s) { s.MaxFF = 1.6; }, 0x4FFFFFF},
    {"LowPassHz", [](SettingsFields& s) { s.LowPassHz = 40; }, kAll},
    {"WindowSec", [](SettingsFields& s) { s.WindowSec = 4; }, 0x6FFFFFF},
    {"Noise", [](SettingsFields& s) { s.Noise = 0.1; }, 0x6FFFFFF},
    {"MinPeakHeightSD", [](SettingsFields& s) { s.MinPeakHeightSD = 2; }, 0x6FFFFFF},
    {"MinPeriodSec", [](SettingsFields& s) { s.MinPeriodSec = 0.2; }, 0x6FFFFFF},
    {"LowPassHz and WindowSec", [](SettingsFields& s) { s.LowPassHz = 40; s.WindowSec = 4; }, kAll},
    {"QRSWidthSec", [](SettingsFields& s) { s.QRSWidthSec = 0.05; }, 0x4FFFFFF},
    {"MaxFrequencyHz", [](SettingsFields& s) { s.MaxFrequencyHz = 1; }, 0x3},
    {"FrequencyCount", [](SettingsFields& s) { s.FrequencyCount = 250; }, 0x3},
    {"VLFLowHz", [](SettingsFields& s) { s.VLFLowHz = 0.001; }, 0x2},
    {"VLFHighHz", [](SettingsFields& s) { s.VLFHighHz = 0.05; }, 0x2},
    {"LFLowHz", [](SettingsFields& s) { s.LFLowHz = 0.05; }, 0x2},
    {"LFHighHz", [](SettingsFields& s) { s.LFHighHz = 0.2; }, 0x2},
    {"HFLowHz", [](SettingsFields& s) { s.HFLowHz = 0.2; }, 0x2},
    {"SDARRPeriodSec and HFHighHz", [](SettingsFields& s) { s.SDARRPeriodSec = 60; s.HFHighHz = 0.5; }, 0x102},
    {"MaxFrequencyHz and QRSWidthSec", [](SettingsFields& s) { s.MaxFrequencyHz = 1; s.QRSWidthSec = 0.05; }, 0x4FFFFFF},
    // Display-only or bookkeeping values ask for nothing.
    {"ShowMarkers", [](SettingsFields& s) { s.ShowMarkers = false; }, 0},
    {"OnlineMode", [](SettingsFields& s) { s.OnlineMode = true; }, 0},
    {"Preset", [](SettingsFields& s) { s.Preset = 8; }, 0},
    {"PresetScratch", [](SettingsFields& s) { s.PresetScratch = 1; }, 0},
    {"WindowFunction", [](SettingsFields& s) { s.WindowFunction = 1; }, 0},
};

TEST(SettingsCompare, EachChangeGivesItsMaskInBothDirections) {
  for (const MaskCase& c : kMaskCases) {
    auto before = make_com<Settings>();
    auto after = before->Clone();
    c.apply(*after);
    EXPECT_EQ(before->CompareForRecompute(after.get()), c.mask) << "changing " << c.change;
    EXPECT_EQ(after->CompareForRecompute(before.get()), c.mask) << "changing back " << c.change;
  }
}

TEST(SettingsCompare, EqualRecordsAndNullGiveNoWorkButNaNDiffersEvenFromItself) {
  auto s = make_com<Settings>();
  EXPECT_EQ(s->CompareForRecompute(s->Clone().get()), 0u);
  EXPECT_EQ(s->CompareForRecompute(nullptr), 0u);
  auto zeros = s->Clone();
  zeros->VLFLowHz = zeros->Noise = -0.0;  // the defaults are +0.0: IEEE equality, not bit equality
  EXPECT_EQ(s->CompareForRecompute(zeros.get()), 0u);
  s->MinRR = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(s->CompareForRecompute(s.get()), 0x4FFFFFFu);
  s->MinRR = 0.8;
  s->SDARRPeriodSec = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(s->CompareForRecompute(s.get()), 0x100u);
}

TEST(SettingsAssign, CopiesEverythingButSourceKindVersionAndFlags) {
  auto source = make_com<Settings>();
  for (const MaskCase& c : kMaskCases) c.apply(*source);  // every value away from its default
  source->PresetScratch = 5;
  source->LoadedVersion = 3;
  source->Registered = source->Loaded = source->Dirty = true;
  auto target = make_com<Settings>();
  target->SourceKind = 12;
  target->LoadedVersion = 6;
  target->Assign(source.get());
  EXPECT_EQ(target->SourceKind, 12);
  EXPECT_EQ(target->LoadedVersion, 6);
  EXPECT_FALSE(target->Registered || target->Loaded || target->Dirty);
  EXPECT_EQ(target->PresetScratch, 5);
  // With SourceKind aligned, the two streams (every persisted value) must be identical.
  target->SourceKind = source->SourceKind;
  EXPECT_EQ(save_bytes(*target), save_bytes(*source));
  const Bytes before = save_bytes(*target);
  target->Assign(nullptr);
  EXPECT_EQ(save_bytes(*target), before);
}

}  // namespace
