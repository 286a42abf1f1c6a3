// SPDX-License-Identifier: MIT
// Loading settings written in the earlier tagged-block format (stream versions 101 to 105).
#include <gtest/gtest.h>

#include "hrv/core/tagged_blocks.h"
#include "hrv/core/settings.h"
#include "hrv/core/settings_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "settings_test_support.h"
#include "sdk/hrv/result_codes.h"

namespace {

using HRV::Settings;
using namespace settings_test;

// The contents of an earlier record, with knobs to damage it.
struct EarlierRecord {
  std::int32_t version = 101;
  bool analyse_selection = true;
  std::int32_t channel = 3;
  double rr_ms[4] = {300, 700, 1100, 1500};
  bool exclude_ectopic = false;
  double bin_width_ms = 8, prr_threshold_ms = 20;
  double vlf_lf_hz = 0.05, lf_hf_hz = 0.2, hf_upper_hz = 0.5, max_frequency_hz = 0.6;
  double min_period_sec = 0.25;
  bool online_mode = true, show_markers = false;
  std::int32_t block5_version = 102;
  std::int32_t block7_version = 1;
  bool block7_flag = true;
  std::int32_t block7_marker = 777;
  int wrong_tag_block = 0;      // 1..6: write that block's tag off by one
  int wrong_version_block = 0;  // 1..6: write block version 100 there
  std::int32_t string_encoding = HRV::tagged_blocks::kStringEncodingUtf16;
};

Bytes build(const EarlierRecord& r) {
  auto stream = make_com<MemoryStream>();
  BinaryWriter w(stream.get());
  auto header = [&](int block, std::int32_t version) {
    w.write<std::int32_t>(0x10000 + block + (r.wrong_tag_block == block ? 1 : 0));
    w.write<std::int32_t>(r.wrong_version_block == block ? 100 : version);
  };
  auto i32 = [&](std::int32_t v) { w.write(v); };
  auto b32 = [&](bool v) { w.write_bool32(v); };
  auto f64 = [&](double v) { w.write(v); };
  i32(r.version);

  header(1, 101);
  b32(r.analyse_selection);
  i32(r.channel);
  for (double v : r.rr_ms) f64(v);
  b32(r.exclude_ectopic);
  for (double v : {r.bin_width_ms, r.prr_threshold_ms, r.vlf_lf_hz, r.lf_hf_hz, r.hf_upper_hz, r.max_frequency_hz}) f64(v);
  for (int i = 0; i < 4; ++i) i32(-1);
  b32(true);

  header(2, 101);
  f64(123.0);
  f64(r.min_period_sec);
  i32(5);
  b32(true), b32(false), b32(true);
  i32(6);

  header(3, 101);
  w.write<std::int32_t>(r.string_encoding);
  w.write<std::int32_t>(5);
  for (char16_t c : std::u16string_view(u"Title")) w.write<std::uint16_t>(c);
  i32(9);
  HRV::tagged_blocks::write_string(w, u"");

  header(4, 101);
  b32(true), b32(true), b32(false);

  header(5, r.block5_version);
  b32(true), b32(true), b32(true);
  i32(11);
  b32(false), b32(false);
  for (int i = 0; i < (r.block5_version == 102 ? 3 : 2); ++i) b32(true);
  b32(false);

  header(6, 101);
  b32(r.online_mode);
  b32(r.show_markers);

  if (r.version >= 104) {
    i32(r.block7_version);
    if (r.block7_version == 1) {
      b32(r.block7_flag);
      if (r.block7_flag)
        for (int i = 0; i < 4; ++i) i32(40 + i);
      i32(r.block7_marker);
    }
    i32(12);
  }
  if (r.version == 105) {
    b32(true);
    for (int i = 0; i < 4; ++i) f64(i * 0.5);
    b32(false);
  }
  return stream->bytes();
}

// Exact comparisons below are fine for ms-to-s conversions: x / 1000 is correctly rounded,
// as is the literal it is compared with.
void expect_converted_default_record(const Settings& s) {
  EXPECT_TRUE(s.AnalyseSelection);
  EXPECT_EQ(s.SourceChannel, 3);
  EXPECT_EQ(static_cast<std::uint32_t>(s.SourceKind), 0xC0000000u);
  EXPECT_DOUBLE_EQ(s.MinRR, 0.7);
  EXPECT_DOUBLE_EQ(s.MaxRR, 1.1);
  EXPECT_FALSE(s.ExcludeEctopic);
  EXPECT_DOUBLE_EQ(s.BinWidthSec, 0.008);
  EXPECT_DOUBLE_EQ(s.PRRThresholdSec, 0.02);
  EXPECT_EQ(s.VLFLowHz, 0.0);
  EXPECT_EQ(s.VLFHighHz, 0.05);
  EXPECT_EQ(s.LFLowHz, 0.05);
  EXPECT_EQ(s.LFHighHz, 0.2);
  EXPECT_EQ(s.HFLowHz, 0.2);
  EXPECT_EQ(s.HFHighHz, 0.5);
  EXPECT_EQ(s.MaxFrequencyHz, 0.6);
  EXPECT_EQ(s.MinPeriodSec, 0.25);
  EXPECT_EQ(s.Preset, 8);
  EXPECT_TRUE(s.OnlineMode);
  EXPECT_FALSE(s.ShowMarkers);
}

// A record with values that no conversion produces, to tell "unchanged" from "converted".
ComPtr<Settings> prepared_record() {
  auto s = make_com<Settings>();
  s->LowPassHz = 77.0;
  s->SourceChannel = 42;
  s->MinRR = 0.123;
  s->Dirty = true;
  return s;
}

template <class Body>
HRESULT thrown_code(Body&& body) {
  try {
    body();
  } catch (const HResultError& e) {
    return e.code();
  }
  return S_OK;
}

TEST(SettingsEarlierFormat, ConvertsVersions101To105IntoTheCurrentRecord) {
  for (std::int32_t version : {101, 104, 105}) {
    SCOPED_TRACE("version " + std::to_string(version));
    EarlierRecord r;
    r.version = version;
    auto s = prepared_record();
    ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
    expect_converted_default_record(*s);
    EXPECT_EQ(s->LoadedVersion, version);
    // Fields the earlier format did not have take their defaults, not the old values.
    EXPECT_EQ(s->LowPassHz, 30.0);
    EXPECT_EQ(s->WindowSec, 5.0);
    EXPECT_EQ(s->MinFF, 1.0);
    EXPECT_EQ(s->FrequencyCount, 500);
    EXPECT_EQ(s->StartRecord, 0x7FFFFFFF);
    EXPECT_TRUE(s->Registered);
    EXPECT_TRUE(s->Loaded);
    EXPECT_FALSE(s->Dirty);
  }
}

TEST(SettingsEarlierFormat, ForcesRRBoundariesIntoAscendingOrder) {
  struct Case {
    double rr_ms[4];
    double min_rr, max_rr;
  };
  const Case cases[] = {
      {{500, 400, 1200, 1000}, 0.5, 1.2},  // second raised to the first
      {{900, 800, 700, 600}, 0.9, 0.9},    // each raised in turn, so all equal the first
      {{200, 600, 500, 1400}, 0.6, 0.6},   // third raised to the second
  };
  for (const Case& c : cases) {
    EarlierRecord r;
    std::copy(std::begin(c.rr_ms), std::end(c.rr_ms), r.rr_ms);
    auto s = make_com<Settings>();
    ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
    EXPECT_DOUBLE_EQ(s->MinRR, c.min_rr) << "boundaries " << c.rr_ms[0] << " " << c.rr_ms[1] << " " << c.rr_ms[2];
    EXPECT_DOUBLE_EQ(s->MaxRR, c.max_rr) << "boundaries " << c.rr_ms[0] << " " << c.rr_ms[1] << " " << c.rr_ms[2];
  }
}

TEST(SettingsEarlierFormat, MinimumPeriodBelowTenMillisecondsKeepsThePreset) {
  EarlierRecord r;
  r.min_period_sec = 0.009;
  auto s = make_com<Settings>();
  ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
  EXPECT_EQ(s->MinPeriodSec, 0.3);
  EXPECT_EQ(s->Preset, 0);

  r.min_period_sec = 0.01;  // the boundary itself counts as set
  ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
  EXPECT_EQ(s->MinPeriodSec, 0.01);
  EXPECT_EQ(s->Preset, 8);
}

TEST(SettingsEarlierFormat, ReadsEveryFormOfTheVariableBlocks) {
  struct Case {
    std::int32_t version, block5_version, block7_version;
    bool block7_flag;
    std::int32_t marker;
  };
  const Case cases[] = {
      {101, 101, 1, true, 777}, {104, 101, 1, false, 777}, {104, 102, 2, false, 777},
      {105, 102, 1, true, 778},  // an unexpected marker is tolerated
      {105, 101, 0, true, 777},
  };
  for (const Case& c : cases) {
    EarlierRecord r;
    r.version = c.version;
    r.block5_version = c.block5_version;
    r.block7_version = c.block7_version;
    r.block7_flag = c.block7_flag;
    r.block7_marker = c.marker;
    auto s = prepared_record();
    ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
    SCOPED_TRACE(testing::Message() << "version " << c.version << " block 5 v" << c.block5_version << " block 7 v"
                                    << c.block7_version << " flag " << c.block7_flag);
    expect_converted_default_record(*s);
  }
}

// Every way the earlier record can fail to read leaves the record exactly as it was, and
// Load still reports success with the flags of a load.
TEST(SettingsEarlierFormat, UnreadableRecordsLeaveTheSettingsUnchanged) {
  std::vector<std::pair<std::string, Bytes>> streams;
  for (std::int32_t version : {102, 103}) {
    EarlierRecord r;
    r.version = version;
    streams.emplace_back("version " + std::to_string(version), build(r));
  }
  for (int block = 1; block <= 6; ++block) {
    EarlierRecord tag;
    tag.wrong_tag_block = block;
    streams.emplace_back("wrong tag in block " + std::to_string(block), build(tag));
    EarlierRecord version;
    version.wrong_version_block = block;
    streams.emplace_back("wrong version in block " + std::to_string(block), build(version));
  }
  EarlierRecord bad_string;
  bad_string.string_encoding = 2;
  streams.emplace_back("unknown string encoding", build(bad_string));
  EarlierRecord full;
  full.version = 105;
  const Bytes whole = build(full);
  for (std::size_t length = 4; length < whole.size(); ++length)
    streams.emplace_back("cut after " + std::to_string(length) + " bytes", Bytes(whole.begin(), whole.begin() + length));

  for (const auto& [name, bytes] : streams) {
    SCOPED_TRACE(name);
    auto s = prepared_record();
    const Bytes before = save_bytes(*s);
    ASSERT_EQ(load_bytes(*s, bytes), S_OK);
    EXPECT_EQ(save_bytes(*s), before);
    EXPECT_TRUE(s->Registered);
    EXPECT_TRUE(s->Loaded);
    EXPECT_FALSE(s->Dirty);
    EXPECT_EQ(s->LoadedVersion, value_at<std::int32_t>(bytes, 0));
  }
}

TEST(SettingsEarlierFormat, ReaderNamesWhyARecordFailed) {
  auto read = [](const Bytes& bytes) {
    return thrown_code([&] {
      auto stream = make_com<MemoryStream>(bytes);
      BinaryReader in(stream.get());
      std::int32_t version = 0;
      in.read(version);
      HRV::settings_stream::read_earlier(in, version);
    });
  };
  EarlierRecord tag;
  tag.wrong_tag_block = 4;
  EXPECT_EQ(read(build(tag)), HRV_E_WRONG_TAG);
  EarlierRecord version;
  version.wrong_version_block = 5;
  EXPECT_EQ(read(build(version)), HRV_E_WRONG_BLOCK_VERSION);
  EarlierRecord v103;
  v103.version = 103;
  EXPECT_EQ(read(build(v103)), HRV_E_WRONG_BLOCK_VERSION);
  const Bytes whole = build(EarlierRecord{});
  EXPECT_EQ(read(Bytes(whole.begin(), whole.end() - 1)), E_FAIL);
  EXPECT_EQ(read(whole), S_OK);
}

}  // namespace
