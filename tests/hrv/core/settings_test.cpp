// SPDX-License-Identifier: MIT
#include "hrv/core/settings.h"

#include <gtest/gtest.h>

#include <random>

#include "settings_test_support.h"
#include "sdk/hrv/result_codes.h"

namespace {

using HRV::Settings;
using namespace settings_test;

// Gives every field a value that no other field has (and no default has): 101, 102, ... in
// stream order, doubles with +0.5.
void fill_distinct(Settings& s) {
  s.SourceChannel = 101, s.SourceKind = 102, s.AnalyseSelection = true, s.ShowMarkers = false;
  s.StartRecord = 105, s.StartTick = 106, s.EndRecord = 107, s.EndTick = 108;
  s.BinWidthSec = 109.5, s.AutoBinWidth = true, s.PRRThresholdSec = 111.5, s.ExcludeEctopic = false, s.OnlineMode = true;
  s.SDARRPeriodSec = 114.5, s.MinRR = 115.5, s.MaxRR = 116.5, s.MinFF = 117.5, s.MaxFF = 118.5, s.Preset = 119;
  s.WindowSec = 120.5, s.Noise = 121.5, s.MinPeakHeightSD = 122.5, s.QRSWidthSec = 123.5, s.MinPeriodSec = 124.5;
  s.LowPassHz = 125.5, s.MaxFrequencyHz = 126.5, s.VLFLowHz = 127.5, s.VLFHighHz = 128.5, s.LFLowHz = 129.5;
  s.LFHighHz = 130.5, s.HFLowHz = 131.5, s.HFHighHz = 132.5, s.FrequencyCount = 133, s.WindowFunction = 134;
}

// The version-6 stream of fill_distinct, written out as the format documents it.
Bytes distinct_version6_stream() {
  StreamBuilder b;
  b.put<std::int32_t>(6).put<std::int32_t>(101).put<std::int32_t>(102).put_bool(true).put_bool(false);
  b.put<std::int32_t>(105).put<std::int32_t>(106).put<std::int32_t>(107).put<std::int32_t>(108);
  b.put(109.5).put_bool(true).put(111.5).put_bool(false).put_bool(true);
  for (double v = 114.5; v < 119; ++v) b.put(v);
  b.put<std::int32_t>(119);
  for (double v = 120.5; v < 133; ++v) b.put(v);
  b.put<std::int32_t>(133).put<std::int32_t>(134);
  return b.bytes();
}

TEST(SettingsStream, WritesAndReadsTheFrozenVersion6Layout) {
  auto s = make_com<Settings>();
  fill_distinct(*s);
  const Bytes expected = distinct_version6_stream();
  ASSERT_EQ(expected.size(), 220u);
  EXPECT_EQ(save_bytes(*s), expected);
  auto loaded = make_com<Settings>();
  ASSERT_EQ(load_bytes(*loaded, expected), S_OK);
  EXPECT_EQ(save_bytes(*loaded), expected);  // a field read into another place would move on saving
  EXPECT_EQ(loaded->LoadedVersion, 6);
}

// Random bit patterns in every field: NaNs with payloads, negative zero, denormals,
// infinities and extreme integers must all survive load and save unchanged. Booleans are
// stored as 0 or 1; any other non-zero value loads as true and saves as 1.
TEST(SettingsStream, LoadThenSaveIsByteIdenticalForArbitraryValues) {
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 200; ++round) {
    Bytes original(220);
    for (auto& b : original) b = static_cast<std::uint8_t>(rng());
    std::memcpy(original.data(), "\x06\0\0\0", 4);
    for (std::size_t offset : {12, 16, 44, 56, 60}) {
      const std::int32_t stored = static_cast<std::int32_t>(rng() & 1);
      std::memcpy(original.data() + offset, &stored, 4);
    }
    auto s = make_com<Settings>();
    ASSERT_EQ(load_bytes(*s, original), S_OK);
    ASSERT_EQ(save_bytes(*s), original) << "round " << round;
  }
  Bytes odd = distinct_version6_stream();
  std::memcpy(odd.data() + 12, "\xF9\xFF\xFF\xFF", 4);  // AnalyseSelection -7
  auto s = make_com<Settings>();
  ASSERT_EQ(load_bytes(*s, odd), S_OK);
  EXPECT_TRUE(s->AnalyseSelection);
  EXPECT_EQ(save_bytes(*s), distinct_version6_stream());
}

// A stream of `version` in the field order of that version, with the four fields that
// later versions appended set to marker values.
Bytes stream_of_version(std::int32_t version) {
  StreamBuilder b;
  b.put<std::int32_t>(version).put<std::int32_t>(4).put<std::int32_t>(0x1234).put_bool(true).put_bool(false);
  b.put<std::int32_t>(1).put<std::int32_t>(10).put<std::int32_t>(2).put<std::int32_t>(20);
  b.put(0.02).put_bool(true).put(0.03).put_bool(false).put_bool(true);
  if (version >= 3) b.put(120.0);  // SDARRPeriodSec
  b.put(0.4).put(0.9).put(1.05).put(1.25).put<std::int32_t>(8);
  b.put(2.5).put(0.7).put(4.5).put(0.05).put(0.2);
  if (version >= 6) b.put(45.0);  // LowPassHz
  b.put(1.5).put(0.01).put(0.05).put(0.05).put(0.2).put(0.2).put(1.0);
  if (version >= 2) b.put<std::int32_t>(256);  // FrequencyCount
  if (version >= 4) b.put<std::int32_t>(2);    // WindowFunction
  return b.bytes();
}

TEST(SettingsStream, EachEarlierVersionReadsItsFieldsAndKeepsTheOthers) {
  for (std::int32_t version = 0; version <= 6; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    auto s = make_com<Settings>();
    s->SDARRPeriodSec = 60.0, s->LowPassHz = 90.0, s->FrequencyCount = 77, s->WindowFunction = 3;
    ASSERT_EQ(load_bytes(*s, stream_of_version(version)), S_OK);
    EXPECT_EQ(s->LoadedVersion, version);
    EXPECT_EQ(s->SDARRPeriodSec, version >= 3 ? 120.0 : 60.0);
    EXPECT_EQ(s->LowPassHz, version >= 6 ? 45.0 : 90.0);
    EXPECT_EQ(s->FrequencyCount, version >= 2 ? 256 : 77);
    EXPECT_EQ(s->WindowFunction, version >= 4 ? 2 : 3);
    // The fields after each optional one land in their places.
    EXPECT_EQ(s->SourceKind, 0x1234);
    EXPECT_TRUE(s->OnlineMode);
    EXPECT_EQ(s->MinRR, 0.4);
    EXPECT_EQ(s->Preset, 8);
    EXPECT_EQ(s->MinPeriodSec, 0.2);
    EXPECT_EQ(s->MaxFrequencyHz, 1.5);
    EXPECT_EQ(s->HFHighHz, 1.0);
  }
}

TEST(SettingsStream, TruncatedOrEmptyStreamsKeepUnreadFieldsAndSucceed) {
  const Bytes full = distinct_version6_stream();
  // Cut inside MaxFF (offset 96): everything before it is read, MaxFF and later are not.
  auto s = make_com<Settings>();
  s->Dirty = true;
  ASSERT_EQ(load_bytes(*s, Bytes(full.begin(), full.begin() + 100)), S_OK);
  EXPECT_EQ(s->MinFF, 117.5);
  EXPECT_EQ(s->MaxFF, 1.5);
  EXPECT_EQ(s->WindowFunction, 5);
  EXPECT_TRUE(s->Loaded && s->Registered);
  EXPECT_FALSE(s->Dirty);
  auto empty = make_com<Settings>();
  empty->LowPassHz = 77.0;
  ASSERT_EQ(load_bytes(*empty, {}), S_OK);
  EXPECT_EQ(empty->LowPassHz, 77.0);
  EXPECT_EQ(empty->LoadedVersion, 0);
  EXPECT_TRUE(empty->Loaded);
}

TEST(SettingsStream, RefusesNewerVersionsAndChangesNothing) {
  for (std::int32_t version : {7, 100, 106, 0x10007}) {
    SCOPED_TRACE("version " + std::to_string(version));
    auto s = make_com<Settings>();
    s->LowPassHz = 77.0;
    s->Dirty = true;
    Bytes bytes = stream_of_version(6);
    std::memcpy(bytes.data(), &version, 4);
    EXPECT_EQ(load_bytes(*s, bytes), HRV_E_NEWER_VERSION);
    EXPECT_EQ(s->LowPassHz, 77.0);
    EXPECT_EQ(s->LoadedVersion, 0);
    EXPECT_FALSE(s->Loaded || s->Registered);
    EXPECT_TRUE(s->Dirty);
  }
}

TEST(SettingsPersist, ClassIdAndDirtyState) {
  auto s = make_com<Settings>();
  GUID id{};
  EXPECT_EQ(s->GetClassID(&id), S_OK);
  EXPECT_EQ(to_string(id), "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(s->IsDirty(), S_FALSE);
  s->Dirty = true;
  EXPECT_EQ(s->IsDirty(), S_OK);
  save_bytes(*s, VARIANT_FALSE);
  EXPECT_TRUE(s->Dirty);
  save_bytes(*s, VARIANT_TRUE);
  EXPECT_FALSE(s->Dirty);
}

TEST(SettingsPersist, InitNewRestoresEveryDefault) {
  auto s = make_com<Settings>();
  const Bytes defaults = save_bytes(*s);
  fill_distinct(*s);
  s->PresetScratch = 3;
  s->LoadedVersion = 4;
  s->Registered = s->Loaded = s->Dirty = true;
  EXPECT_EQ(s->InitNew(), S_OK);
  EXPECT_EQ(save_bytes(*s), defaults);
  EXPECT_EQ(s->PresetScratch, 0x7FFFFFFF);
  EXPECT_EQ(s->LoadedVersion, 0);
  EXPECT_FALSE(s->Registered || s->Loaded || s->Dirty);
}

TEST(SettingsRecord, CloneCopiesValuesAndFlagsButNotTheLoadedVersion) {
  auto s = make_com<Settings>();
  fill_distinct(*s);
  s->PresetScratch = 3;
  s->LoadedVersion = 5;
  s->Registered = s->Dirty = true;
  auto copy = s->Clone();
  EXPECT_EQ(save_bytes(*copy), save_bytes(*s));
  EXPECT_EQ(copy->PresetScratch, 3);
  EXPECT_EQ(copy->LoadedVersion, 0);
  EXPECT_TRUE(copy->Registered && copy->Dirty);
  EXPECT_FALSE(copy->Loaded);
  copy->LowPassHz = 1.0;
  EXPECT_EQ(s->LowPassHz, 125.5);
}

TEST(SettingsRecord, ResetRegionUnsetsRecordsKeepsTicksAndMarksDirty) {
  auto s = make_com<Settings>();
  s->StartTick = 10, s->StartRecord = 1, s->EndTick = 20, s->EndRecord = 2;
  s->ResetRegion();
  EXPECT_EQ(s->region_start(), (TickPosition{10, 0x7FFFFFFF}));
  EXPECT_EQ(s->region_end(), (TickPosition{20, 0x7FFFFFFF}));
  EXPECT_TRUE(s->Dirty);
  // A region that is already unset (one record unset is enough) is left alone.
  auto half = make_com<Settings>();
  half->EndRecord = 4;
  half->ResetRegion();
  EXPECT_EQ(half->EndRecord, 4);
  EXPECT_TRUE(half->Dirty);
}

}  // namespace
