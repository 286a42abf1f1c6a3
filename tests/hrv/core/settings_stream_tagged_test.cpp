// SPDX-License-Identifier: MIT
// Loading settings written in the earlier tagged-block format (stream versions 101 to 105).
#include <gtest/gtest.h>

#include <algorithm>

#include "hrv/core/settings.h"
#include "hrv/core/settings_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/hrv/result_codes.h"
#include "settings_test_support.h"

namespace {

using HRV::Settings;
using namespace settings_test;

// The contents of an earlier record, with knobs to damage it.
struct EarlierRecord {
  std::int32_t version = 101;
  double rr_ms[4] = {300, 700, 1100, 1500};
  double min_period_sec = 0.25;
  std::int32_t block5_version = 102;
  std::int32_t block7_version = 1;
  bool block7_flag = true;
  std::int32_t block7_marker = 777;
  int wrong_tag_block = 0;      // 1..6: write that block's tag off by one
  int wrong_version_block = 0;  // 1..6: write block version 100 there
};

Bytes build(const EarlierRecord& r) {
  StreamBuilder b;
  auto header = [&](int block, std::int32_t version) {
    b.put(0x10000 + block + (r.wrong_tag_block == block ? 1 : 0)).put(r.wrong_version_block == block ? 100 : version);
  };
  b.put(r.version);
  header(1, 101);
  b.put_bool(true).put(3);  // analyse the selection of channel 3
  for (double v : r.rr_ms) b.put(v);
  b.put_bool(false);  // exclude ectopic beats
  for (double v : {8.0, 20.0, 0.05, 0.2, 0.5, 0.6}) b.put(v);  // bin width, pRR threshold (ms), band edges, fmax (Hz)
  b.put(-1).put(-1).put(-1).put(-1).put_bool(true);
  header(2, 101);
  b.put(123.0).put(r.min_period_sec).put(5).put_bool(true).put_bool(false).put_bool(true).put(6);
  header(3, 101);
  b.put_string(u"Title").put(9).put_string(u"");
  header(4, 101);
  b.put_bool(true).put_bool(true).put_bool(false);
  header(5, r.block5_version);
  b.put_bool(true).put_bool(true).put_bool(true).put(11).put_bool(false).put_bool(false);
  for (int i = 0; i < (r.block5_version == 102 ? 3 : 2); ++i) b.put_bool(true);
  b.put_bool(false);
  header(6, 101);
  b.put_bool(true).put_bool(false);  // online mode, show markers
  if (r.version >= 104) {
    b.put(r.block7_version);
    if (r.block7_version == 1) {
      b.put_bool(r.block7_flag);
      if (r.block7_flag) b.put(40).put(41).put(42).put(43);
      b.put(r.block7_marker);
    }
    b.put(12);
  }
  if (r.version == 105) b.put_bool(true).put(0.0).put(0.5).put(1.0).put(1.5).put_bool(false);
  return b.bytes();
}

// Values converted from milliseconds are held to a few ulps.
void expect_converted_default_record(const Settings& s) {
  EXPECT_TRUE(s.AnalyseSelection);
  EXPECT_EQ(s.SourceChannel, 3);
  EXPECT_EQ(static_cast<std::uint32_t>(s.SourceKind), 0xC0000000u);
  EXPECT_DOUBLE_EQ(s.MinRR, 0.7);
  EXPECT_DOUBLE_EQ(s.MaxRR, 1.1);
  EXPECT_FALSE(s.ExcludeEctopic);
  EXPECT_DOUBLE_EQ(s.BinWidthSec, 0.008);
  EXPECT_DOUBLE_EQ(s.PRRThresholdSec, 0.02);
  const double bands[] = {s.VLFLowHz, s.VLFHighHz, s.LFLowHz, s.LFHighHz, s.HFLowHz, s.HFHighHz, s.MaxFrequencyHz};
  EXPECT_EQ(std::vector<double>(std::begin(bands), std::end(bands)), (std::vector<double>{0.0, 0.05, 0.05, 0.2, 0.2, 0.5, 0.6}));
  EXPECT_EQ(s.MinPeriodSec, 0.25);
  EXPECT_EQ(s.Preset, 8);
  EXPECT_TRUE(s.OnlineMode);
  EXPECT_FALSE(s.ShowMarkers);
}

// A record with values that no conversion produces, to tell "unchanged" from "converted".
ComPtr<Settings> prepared_record() {
  auto s = make_com<Settings>();
  s->LowPassHz = 77.0, s->SourceChannel = 42, s->MinRR = 0.123, s->Dirty = true;
  return s;
}

TEST(SettingsEarlierFormat, ConvertsEveryFormOfTheRecordIntoTheCurrentOne) {
  struct Case {
    std::int32_t version, block5_version, block7_version;
    bool block7_flag;
    std::int32_t marker;
  };
  const Case cases[] = {
      {101, 102, 1, true, 777}, {104, 102, 1, true, 777}, {105, 102, 1, true, 777}, {101, 101, 1, true, 777},
      {104, 101, 1, false, 777}, {104, 102, 2, false, 777},
      {105, 102, 1, true, 778},  // an unexpected marker is tolerated
      {105, 101, 0, true, 777},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << " block 5 v" << c.block5_version << " block 7 v"
                                    << c.block7_version << " flag " << c.block7_flag << " marker " << c.marker);
    EarlierRecord r;
    r.version = c.version, r.block5_version = c.block5_version, r.block7_version = c.block7_version;
    r.block7_flag = c.block7_flag, r.block7_marker = c.marker;
    auto s = prepared_record();
    ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
    expect_converted_default_record(*s);
    EXPECT_EQ(s->LoadedVersion, c.version);
    // Fields the earlier format did not have take their defaults, not the old values.
    EXPECT_EQ(s->LowPassHz, 30.0);
    EXPECT_EQ(s->WindowSec, 5.0);
    EXPECT_EQ(s->MinFF, 1.0);
    EXPECT_EQ(s->FrequencyCount, 500);
    EXPECT_EQ(s->StartRecord, 0x7FFFFFFF);
    EXPECT_TRUE(s->Registered && s->Loaded);
    EXPECT_FALSE(s->Dirty);
  }
}

TEST(SettingsEarlierFormat, ForcesRRBoundariesIntoAscendingOrderAndKeepsThePresetBelowTenMilliseconds) {
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
    SCOPED_TRACE(testing::Message() << "boundaries " << c.rr_ms[0] << " " << c.rr_ms[1] << " " << c.rr_ms[2]);
    EXPECT_DOUBLE_EQ(s->MinRR, c.min_rr);
    EXPECT_DOUBLE_EQ(s->MaxRR, c.max_rr);
  }
  for (auto [period, preset, kept] : {std::tuple{0.009, 0, 0.3}, {0.01, 8, 0.01}}) {  // 0.01 s itself counts as set
    EarlierRecord r;
    r.min_period_sec = period;
    auto s = make_com<Settings>();
    ASSERT_EQ(load_bytes(*s, build(r)), S_OK);
    EXPECT_EQ(s->MinPeriodSec, kept) << period;
    EXPECT_EQ(s->Preset, preset) << period;
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
    EarlierRecord tag, version;
    tag.wrong_tag_block = block;
    version.wrong_version_block = block;
    streams.emplace_back("wrong tag in block " + std::to_string(block), build(tag));
    streams.emplace_back("wrong version in block " + std::to_string(block), build(version));
  }
  // Block 3's title: an unknown encoding, a negative length, a length beyond the limit.
  for (auto [encoding, length] : {std::pair{2, 5}, {1, -1}, {1, (1 << 16) + 1}}) {
    Bytes bytes = build(EarlierRecord{});
    const Bytes units{'T', 0, 'i', 0, 't', 0, 'l', 0, 'e', 0};
    const auto title = std::search(bytes.begin(), bytes.end(), units.begin(), units.end()) - 8;
    std::memcpy(&*title, &encoding, 4);
    std::memcpy(&*title + 4, &length, 4);
    streams.emplace_back("title of encoding " + std::to_string(encoding) + ", length " + std::to_string(length), bytes);
  }
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
    EXPECT_TRUE(s->Registered && s->Loaded);
    EXPECT_FALSE(s->Dirty);
    std::int32_t version = 0;
    std::memcpy(&version, bytes.data(), 4);
    EXPECT_EQ(s->LoadedVersion, version);
  }
}

TEST(SettingsEarlierFormat, ReaderNamesWhyARecordFailed) {
  auto read = [](const Bytes& bytes) {
    try {
      auto stream = make_com<MemoryStream>(bytes);
      BinaryReader in(stream.get());
      std::int32_t version = 0;
      in.read(version);
      HRV::settings_stream::read_earlier(in, version);
    } catch (const HResultError& e) {
      return e.code();
    }
    return S_OK;
  };
  EarlierRecord tag, version, v103;
  tag.wrong_tag_block = 4;
  version.wrong_version_block = 5;
  v103.version = 103;
  EXPECT_EQ(read(build(tag)), HRV_E_WRONG_TAG);
  EXPECT_EQ(read(build(version)), HRV_E_WRONG_BLOCK_VERSION);
  EXPECT_EQ(read(build(v103)), HRV_E_WRONG_BLOCK_VERSION);
  const Bytes whole = build(EarlierRecord{});
  EXPECT_EQ(read(Bytes(whole.begin(), whole.end() - 1)), E_FAIL);
  EXPECT_EQ(read(whole), S_OK);
}

}  // namespace
