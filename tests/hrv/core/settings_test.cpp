// SPDX-License-Identifier: MIT
#include "hrv/core/settings.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "settings_test_support.h"
#include "sdk/hrv/result_codes.h"

namespace {

using HRV::Settings;
using namespace settings_test;

static_assert(std::endian::native == std::endian::little, "the byte inspections below assume little-endian");

// The version-6 layout as documented for the stream, written out independently of the code.
enum class Kind { Int32, Bool, Double };
struct LayoutEntry {
  const char* name;
  std::size_t offset;
  Kind kind;
};
constexpr LayoutEntry kVersion6Layout[] = {
    {"SourceChannel", 4, Kind::Int32},     {"SourceKind", 8, Kind::Int32},       {"AnalyseSelection", 12, Kind::Bool},
    {"ShowMarkers", 16, Kind::Bool},       {"StartRecord", 20, Kind::Int32},     {"StartTick", 24, Kind::Int32},
    {"EndRecord", 28, Kind::Int32},        {"EndTick", 32, Kind::Int32},         {"BinWidthSec", 36, Kind::Double},
    {"AutoBinWidth", 44, Kind::Bool},      {"PRRThresholdSec", 48, Kind::Double}, {"ExcludeEctopic", 56, Kind::Bool},
    {"OnlineMode", 60, Kind::Bool},        {"SDARRPeriodSec", 64, Kind::Double}, {"MinRR", 72, Kind::Double},
    {"MaxRR", 80, Kind::Double},           {"MinFF", 88, Kind::Double},          {"MaxFF", 96, Kind::Double},
    {"Preset", 104, Kind::Int32},          {"WindowSec", 108, Kind::Double},     {"Noise", 116, Kind::Double},
    {"MinPeakHeightSD", 124, Kind::Double}, {"QRSWidthSec", 132, Kind::Double},  {"MinPeriodSec", 140, Kind::Double},
    {"LowPassHz", 148, Kind::Double},      {"MaxFrequencyHz", 156, Kind::Double}, {"VLFLowHz", 164, Kind::Double},
    {"VLFHighHz", 172, Kind::Double},      {"LFLowHz", 180, Kind::Double},       {"LFHighHz", 188, Kind::Double},
    {"HFLowHz", 196, Kind::Double},        {"HFHighHz", 204, Kind::Double},      {"FrequencyCount", 212, Kind::Int32},
    {"WindowFunction", 216, Kind::Int32},
};

// Gives every field a value that no other field has (and no default has).
void fill_distinct(Settings& s) {
  s.SourceChannel = 101;
  s.SourceKind = 102;
  s.AnalyseSelection = true;
  s.ShowMarkers = false;
  s.StartRecord = 105;
  s.StartTick = 106;
  s.EndRecord = 107;
  s.EndTick = 108;
  s.BinWidthSec = 109.5;
  s.AutoBinWidth = true;
  s.PRRThresholdSec = 111.5;
  s.ExcludeEctopic = false;
  s.OnlineMode = true;
  s.SDARRPeriodSec = 114.5;
  s.MinRR = 115.5;
  s.MaxRR = 116.5;
  s.MinFF = 117.5;
  s.MaxFF = 118.5;
  s.Preset = 119;
  s.WindowSec = 120.5;
  s.Noise = 121.5;
  s.MinPeakHeightSD = 122.5;
  s.QRSWidthSec = 123.5;
  s.MinPeriodSec = 124.5;
  s.LowPassHz = 125.5;
  s.MaxFrequencyHz = 126.5;
  s.VLFLowHz = 127.5;
  s.VLFHighHz = 128.5;
  s.LFLowHz = 129.5;
  s.LFHighHz = 130.5;
  s.HFLowHz = 131.5;
  s.HFHighHz = 132.5;
  s.FrequencyCount = 133;
  s.WindowFunction = 134;
}

TEST(SettingsStream, WritesTheFrozenVersion6Layout) {
  auto s = make_com<Settings>();
  fill_distinct(*s);
  const Bytes bytes = save_bytes(*s);
  ASSERT_EQ(bytes.size(), 220u);
  EXPECT_EQ(value_at<std::int32_t>(bytes, 0), 6);
  // fill_distinct numbers the fields 101, 102, ... in stream order, doubles with +0.5 and
  // booleans as their stored 0/1; so each offset must hold its position's value.
  const bool bool_values[] = {true, false, true, false, true};  // AnalyseSelection, ShowMarkers, AutoBinWidth, ExcludeEctopic, OnlineMode
  int bool_index = 0;
  int position = 101;
  for (const auto& e : kVersion6Layout) {
    SCOPED_TRACE(e.name);
    switch (e.kind) {
      case Kind::Int32: EXPECT_EQ(value_at<std::int32_t>(bytes, e.offset), position); break;
      case Kind::Bool: EXPECT_EQ(value_at<std::int32_t>(bytes, e.offset), bool_values[bool_index++] ? 1 : 0); break;
      case Kind::Double: EXPECT_EQ(value_at<double>(bytes, e.offset), position + 0.5); break;  // exact: .5 values are representable
    }
    ++position;
  }
}

// Random bit patterns in every field: NaNs with payloads, negative zero, denormals,
// infinities and extreme integers must all survive load and save unchanged.
TEST(SettingsStream, LoadThenSaveIsByteIdenticalForArbitraryValues) {
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 200; ++round) {
    Bytes original(220);
    for (auto& b : original) b = static_cast<std::uint8_t>(rng());
    std::memcpy(original.data(), "\x06\0\0\0", 4);
    for (const auto& e : kVersion6Layout)
      if (e.kind == Kind::Bool) {
        const std::int32_t stored = static_cast<std::int32_t>(rng() & 1);
        std::memcpy(original.data() + e.offset, &stored, 4);
      }
    auto s = make_com<Settings>();
    ASSERT_EQ(load_bytes(*s, original), S_OK);
    ASSERT_EQ(save_bytes(*s), original) << "round " << round;
  }
}

TEST(SettingsStream, NonZeroBooleansLoadAsTrueAndSaveAsOne) {
  auto source = make_com<Settings>();
  Bytes bytes = save_bytes(*source);
  const std::int32_t odd_true = -7;
  std::memcpy(bytes.data() + 12, &odd_true, 4);  // AnalyseSelection
  auto s = make_com<Settings>();
  ASSERT_EQ(load_bytes(*s, bytes), S_OK);
  EXPECT_TRUE(s->AnalyseSelection);
  EXPECT_EQ(value_at<std::int32_t>(save_bytes(*s), 12), 1);
}

// Writes a stream of `version` in the field order of that version, with the four fields
// that later versions appended set to marker values.
Bytes stream_of_version(std::int32_t version) {
  StreamBuilder b;
  b.put<std::int32_t>(version).put<std::int32_t>(4).put<std::int32_t>(0x1234).put_bool(true).put_bool(false);
  b.put<std::int32_t>(1).put<std::int32_t>(10).put<std::int32_t>(2).put<std::int32_t>(20);
  b.put(0.02).put_bool(true).put(0.03).put_bool(false).put_bool(true);
  if (version >= 3) b.put(120.0);  // SDARRPeriodSec
  b.put(0.4).put(0.9).put(1.05).put(1.25);
  b.put<std::int32_t>(8);
  b.put(2.5).put(0.7).put(4.5).put(0.05).put(0.2);
  if (version >= 6) b.put(45.0);  // LowPassHz
  b.put(1.5).put(0.01).put(0.05).put(0.05).put(0.2).put(0.2).put(1.0);
  if (version >= 2) b.put<std::int32_t>(256);  // FrequencyCount
  if (version >= 4) b.put<std::int32_t>(2);    // WindowFunction
  return b.bytes();
}

TEST(SettingsStream, LoadsVersionTwoWithDefaultsForLaterFields) {
  auto s = make_com<Settings>();
  ASSERT_EQ(load_bytes(*s, stream_of_version(2)), S_OK);
  EXPECT_EQ(s->LoadedVersion, 2);
  EXPECT_EQ(s->SDARRPeriodSec, 300.0);
  EXPECT_EQ(s->WindowFunction, 5);
  EXPECT_EQ(s->LowPassHz, 30.0);
  EXPECT_EQ(s->FrequencyCount, 256);
  // Fields on either side of the missing ones land in the right place.
  EXPECT_EQ(s->SourceKind, 0x1234);
  EXPECT_EQ(s->StartRecord, 1);
  EXPECT_EQ(s->EndTick, 20);
  EXPECT_TRUE(s->AutoBinWidth);
  EXPECT_TRUE(s->OnlineMode);
  EXPECT_EQ(s->MinRR, 0.4);
  EXPECT_EQ(s->MaxFF, 1.25);
  EXPECT_EQ(s->Preset, 8);
  EXPECT_EQ(s->MinPeriodSec, 0.2);
  EXPECT_EQ(s->MaxFrequencyHz, 1.5);
  EXPECT_EQ(s->HFHighHz, 1.0);
}

TEST(SettingsStream, EachVersionReadsExactlyTheFieldsItHad) {
  for (std::int32_t version = 0; version <= 6; ++version) {
    SCOPED_TRACE("version " + std::to_string(version));
    auto s = make_com<Settings>();
    ASSERT_EQ(load_bytes(*s, stream_of_version(version)), S_OK);
    EXPECT_EQ(s->SDARRPeriodSec, version >= 3 ? 120.0 : 300.0);
    EXPECT_EQ(s->LowPassHz, version >= 6 ? 45.0 : 30.0);
    EXPECT_EQ(s->FrequencyCount, version >= 2 ? 256 : 500);
    EXPECT_EQ(s->WindowFunction, version >= 4 ? 2 : 5);
    EXPECT_EQ(s->HFHighHz, 1.0);  // the last double is found whatever was left out before it
  }
}

TEST(SettingsStream, MissingFieldsKeepTheRecordsCurrentValues) {
  auto s = make_com<Settings>();
  s->SDARRPeriodSec = 60.0;
  s->LowPassHz = 90.0;
  ASSERT_EQ(load_bytes(*s, stream_of_version(2)), S_OK);
  EXPECT_EQ(s->SDARRPeriodSec, 60.0);
  EXPECT_EQ(s->LowPassHz, 90.0);
}

TEST(SettingsStream, TruncatedStreamKeepsUnreadFieldsAndSucceeds) {
  auto source = make_com<Settings>();
  fill_distinct(*source);
  const Bytes full = save_bytes(*source);
  // Cut inside MaxFF (offset 96): everything before it is read, MaxFF and later are not.
  const Bytes cut(full.begin(), full.begin() + 100);
  auto s = make_com<Settings>();
  s->Dirty = true;
  ASSERT_EQ(load_bytes(*s, cut), S_OK);
  EXPECT_EQ(s->MinFF, 117.5);
  EXPECT_EQ(s->MaxFF, 1.5);
  EXPECT_EQ(s->Preset, 0);
  EXPECT_EQ(s->WindowFunction, 5);
  EXPECT_TRUE(s->Loaded);
  EXPECT_TRUE(s->Registered);
  EXPECT_FALSE(s->Dirty);
}

TEST(SettingsStream, EmptyStreamLoadsNothingAndSucceeds) {
  auto s = make_com<Settings>();
  s->LowPassHz = 77.0;
  ASSERT_EQ(load_bytes(*s, {}), S_OK);
  EXPECT_EQ(s->LowPassHz, 77.0);
  EXPECT_EQ(s->LoadedVersion, 0);
  EXPECT_TRUE(s->Loaded);
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
    EXPECT_FALSE(s->Loaded);
    EXPECT_FALSE(s->Registered);
    EXPECT_TRUE(s->Dirty);
  }
}

TEST(SettingsPersist, ReportsClassIdDirtyStateAndNoSizeLimit) {
  auto s = make_com<Settings>();
  GUID id{};
  EXPECT_EQ(s->GetClassID(&id), S_OK);
  EXPECT_EQ(to_string(id), "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(s->GetClassID(nullptr), E_POINTER);
  std::uint64_t size = 0;
  EXPECT_EQ(s->GetSizeMax(&size), E_NOTIMPL);
  EXPECT_EQ(s->IsDirty(), S_FALSE);
  s->Dirty = true;
  EXPECT_EQ(s->IsDirty(), S_OK);
  EXPECT_EQ(s->Load(static_cast<IByteStream*>(nullptr)), E_POINTER);
  EXPECT_EQ(s->Save(static_cast<IByteStream*>(nullptr), VARIANT_TRUE), E_POINTER);
}

TEST(SettingsPersist, SaveClearsDirtyOnlyWhenAsked) {
  auto s = make_com<Settings>();
  s->Dirty = true;
  save_bytes(*s, VARIANT_FALSE);
  EXPECT_TRUE(s->Dirty);
  save_bytes(*s, VARIANT_TRUE);
  EXPECT_FALSE(s->Dirty);
}

TEST(SettingsPersist, AnswersItsInterfacesWithOneIdentity) {
  auto s = make_com<Settings>();
  auto marker = ComPtr<IUnknown>::retain(s->identity()).query<HRV::IHRVSettings>();
  ASSERT_TRUE(marker);
  auto persist = marker.query<IPersist>();
  ASSERT_TRUE(persist);
  EXPECT_EQ(persist.query<IUnknown>().get(), s->identity());
  EXPECT_TRUE(marker.query<IPersistStreamInit>());
  EXPECT_FALSE(marker.query<IByteStream>());
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
  s->Registered = true;
  s->Dirty = true;
  auto copy = s->Clone();
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.get(), s.get());
  EXPECT_EQ(save_bytes(*copy), save_bytes(*s));
  EXPECT_EQ(copy->PresetScratch, 3);
  EXPECT_EQ(copy->LoadedVersion, 0);
  EXPECT_TRUE(copy->Registered);
  EXPECT_FALSE(copy->Loaded);
  EXPECT_TRUE(copy->Dirty);
  copy->LowPassHz = 1.0;
  EXPECT_EQ(s->LowPassHz, 125.5);
  // The clone starts with one reference, owned by the returned pointer.
  EXPECT_EQ(copy->AddRef(), 2u);
  EXPECT_EQ(copy->Release(), 1u);
}

TEST(SettingsRecord, ResetRegionUnsetsRecordsKeepsTicksAndMarksDirty) {
  auto s = make_com<Settings>();
  s->StartTick = 10;
  s->StartRecord = 1;
  s->EndTick = 20;
  s->EndRecord = 2;
  s->ResetRegion();
  EXPECT_EQ(s->StartRecord, 0x7FFFFFFF);
  EXPECT_EQ(s->EndRecord, 0x7FFFFFFF);
  EXPECT_EQ(s->StartTick, 10);
  EXPECT_EQ(s->EndTick, 20);
  EXPECT_TRUE(s->Dirty);

  // A region that is already unset (one record unset is enough) is left alone.
  auto half = make_com<Settings>();
  half->StartRecord = 0x7FFFFFFF;
  half->EndRecord = 4;
  half->ResetRegion();
  EXPECT_EQ(half->EndRecord, 4);
  EXPECT_TRUE(half->Dirty);
}

}  // namespace
