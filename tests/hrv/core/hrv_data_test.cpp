// SPDX-License-Identifier: MIT
#include "hrv/core/hrv_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hrv/core/analysis_region.h"
#include "settings_test_support.h"
#include "sdk/hrv/result_codes.h"
#include "tick_position_printer.h"

namespace {

using HRV::AddedBeats;
using HRV::AnalysisRegion;
using HRV::Data;
using HRV::RemovedBeats;
using Positions = std::vector<TickPosition>;
using settings_test::StreamBuilder;

Positions contents(const Data& data, HRV::UserEventSet set) {
  const auto& s = data.user_events().positions(set);
  return {s.begin(), s.end()};
}

constexpr AnalysisRegion kStoredRegion{{12, 1}, {3400, 2}};
constexpr AnalysisRegion kEarlierRegion{{250, 0}, {80000, 4}};

// The earlier-format stream: version 0x10007 and the region block, with hooks to damage it.
struct EarlierRegionStream {
  std::int32_t inner_version = 103;
  std::int32_t header_tag = 0x10008;
  std::int32_t positions_tag = 0x10009;
  std::int32_t string_encoding = 1;

  StreamBuilder build() const {
    StreamBuilder b;
    b.put(0x10007).put(inner_version).put(header_tag).put(17).put(2.5).put_string(u"abcd", string_encoding).put(1);
    if (inner_version == 101) return b;
    b.put(1000.0).put_string(u"ECG").put_string(u"").put_string(u"Lead II").put_string(u"mV").put_string(u"\u00b5V");
    b.put(positions_tag).put(0).put(1).put_position(kEarlierRegion.start).put_position(kEarlierRegion.end);
    return b;
  }
};

class DataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kStoredRegion.store_in(settings);
    add({5, 0}, AddedBeats);
    add({9, 0}, RemovedBeats);
  }
  void add(TickPosition p, HRV::UserEventSet set) { data->user_events().Add(&p, set); }
  // The edits of SetUp, and the flags that every successful load leaves.
  void expect_loaded_with_the_first_edits() const {
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{5, 0}}));
    EXPECT_EQ(contents(*data, RemovedBeats), (Positions{{9, 0}}));
    expect_loaded();
  }
  void expect_loaded() const {
    EXPECT_TRUE(data->loaded() && data->registered());
    EXPECT_EQ(data->IsDirty(), S_FALSE);
  }

  HRV::SettingsFields settings;
  ComPtr<Data> data = make_com<Data>(nullptr, settings);
};

TEST_F(DataTest, SavesEachSetAscendingWithRecordBeforeTickAndReadsItBack) {
  data->InitNew();
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_TRUE), S_OK);
  EXPECT_EQ(stream->bytes(), (std::vector<std::uint8_t>{6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  add({5, 2}, AddedBeats);
  add({1000000, 1}, AddedBeats);
  add({-3, 0x7FFFFFFE}, RemovedBeats);
  stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_FALSE), S_OK);
  EXPECT_EQ(stream->bytes(),
            StreamBuilder().put(6).put(2u).put_position({1000000, 1}).put_position({5, 2}).put(1u).put_position({-3, 0x7FFFFFFE}).bytes());
  auto copy = make_com<Data>(nullptr, settings);
  stream->rewind();
  ASSERT_EQ(copy->Load(stream.get()), S_OK);
  EXPECT_EQ(contents(*copy, AddedBeats), contents(*data, AddedBeats));
  EXPECT_EQ(contents(*copy, RemovedBeats), contents(*data, RemovedBeats));
}

TEST_F(DataTest, DirtyFlagFollowsSaveRequestAndLoad) {
  EXPECT_EQ(data->IsDirty(), S_FALSE);
  data->set_dirty();
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_FALSE), S_OK);
  EXPECT_EQ(data->IsDirty(), S_OK);
  ASSERT_EQ(data->Save(stream.get(), VARIANT_TRUE), S_OK);
  EXPECT_EQ(data->IsDirty(), S_FALSE);
  data->set_dirty();
  stream->rewind();
  ASSERT_EQ(data->Load(stream.get()), S_OK);
  expect_loaded();
}

TEST_F(DataTest, VersionsUpToSixReadAsTheCurrentFormatReplacingTheEdits) {
  for (std::int32_t version : {-1, 0, 1, 5, 6}) {
    SCOPED_TRACE("version " + std::to_string(version));
    auto stream = StreamBuilder().put(version).put(1u).put_position({77, 3}).put(2u).put_position({1, 0}).put_position({2, 0}).stream();
    ASSERT_EQ(data->Load(stream.get()), S_OK);
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{77, 3}}));
    EXPECT_EQ(contents(*data, RemovedBeats), (Positions{{1, 0}, {2, 0}}));
    EXPECT_EQ(AnalysisRegion::from(settings), kStoredRegion);
  }
}

TEST_F(DataTest, NewerVersionIsRefusedAndChangesNothing) {
  data->set_dirty();
  for (std::int32_t version : {7, 0x10006, 0x10008, 0x7FFFFFFF}) {
    SCOPED_TRACE("version " + std::to_string(version));
    EXPECT_EQ(data->Load(StreamBuilder().put(version).put(0u).put(0u).stream().get()), HRV_E_NEWER_VERSION);
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{5, 0}}));
    EXPECT_FALSE(data->loaded() || data->registered());
    EXPECT_EQ(data->IsDirty(), S_OK);
  }
}

TEST_F(DataTest, TruncatedStreamKeepsWhatWasRead) {
  StreamBuilder full;
  full.put(6).put(3u).put_position({10, 0}).put_position({20, 0}).put_position({30, 0}).put(1u).put_position({40, 0});
  const Positions three{{10, 0}, {20, 0}, {30, 0}};
  const std::pair<std::size_t, Positions> cases[] = {
      {0, {}},  // nothing at all reads as a current stream without edits
      {8 + 2 * 8 + 4, {{10, 0}, {20, 0}}},  // third position cut after its record
      {8 + 3 * 8 + 2, three},
      {full.bytes().size() - 1, three},
  };
  for (const auto& [size, added] : cases) {
    SCOPED_TRACE("stream cut to " + std::to_string(size) + " bytes");
    EXPECT_EQ(data->Load(full.stream(size).get()), S_OK);
    EXPECT_EQ(contents(*data, AddedBeats), added);
    EXPECT_TRUE(contents(*data, RemovedBeats).empty());
    expect_loaded();
  }
}

TEST_F(DataTest, EarlierFormatCopiesTheRegionAndKeepsTheEdits) {
  for (std::int32_t inner : {102, 103}) {
    SCOPED_TRACE("inner version " + std::to_string(inner));
    kStoredRegion.store_in(settings);
    EXPECT_EQ(data->Load(EarlierRegionStream{inner}.build().stream().get()), S_OK);
    EXPECT_EQ(AnalysisRegion::from(settings), kEarlierRegion);
    expect_loaded_with_the_first_edits();
  }
}

TEST_F(DataTest, DamagedEarlierRegionBlockLeavesTheRegionAndStillLoads) {
  const std::tuple<const char*, EarlierRegionStream, std::size_t> cases[] = {
      {"header-only inner version 101", {101}, SIZE_MAX},
      {"unknown inner version", {104}, SIZE_MAX},
      {"wrong header tag", {103, 0x10009}, SIZE_MAX},
      {"wrong positions tag", {103, 0x10008, 0x10008}, SIZE_MAX},
      {"unreadable string", {103, 0x10008, 0x10009, 7}, SIZE_MAX},
      {"stream ends inside the strings", {}, 70},
      {"stream ends before the positions tag", {}, 120},
      {"stream ends inside the positions tag", {}, 122},
      {"stream ends right after the version", {}, 4},
  };
  for (const auto& [what, stream, cut] : cases) {
    SCOPED_TRACE(what);
    data->set_dirty();
    EXPECT_EQ(data->Load(stream.build().stream(cut).get()), S_OK);
    EXPECT_EQ(AnalysisRegion::from(settings), kStoredRegion);
    expect_loaded_with_the_first_edits();
  }
  // Cut inside the positions: only the start position and the end record made it.
  const StreamBuilder full = EarlierRegionStream{}.build();
  ASSERT_EQ(data->Load(full.stream(full.bytes().size() - 4).get()), S_OK);
  EXPECT_EQ(settings.region_start(), kEarlierRegion.start);
  EXPECT_EQ(settings.region_end(), (TickPosition{0x7FFFFFFF, kEarlierRegion.end.record}));
}

TEST_F(DataTest, PersistBasics) {
  GUID id{};
  EXPECT_EQ(data->GetClassID(&id), S_OK);
  EXPECT_EQ(to_string(id), "{EA881A0C-B5E6-42DD-9B2E-4714888D1B5B}");
  EXPECT_EQ(data->GetClassID(nullptr), E_POINTER);
  std::uint64_t size = 123;
  EXPECT_EQ(data->GetSizeMax(&size), E_NOTIMPL);
  EXPECT_EQ(data->Load(nullptr), E_POINTER);
  EXPECT_EQ(data->Save(nullptr, VARIANT_TRUE), E_POINTER);
  EXPECT_EQ(data->InitNew(), S_OK);
  EXPECT_EQ(data->user_events().IsEmpty(nullptr), S_OK);
}

// A settings object stand-in that reports its destruction.
class SettingsOwner final : public ComObject<IUnknown> {
 public:
  explicit SettingsOwner(bool& destroyed) : destroyed_(destroyed) {}
  ~SettingsOwner() override { destroyed_ = true; }
  HRV::SettingsFields fields;

 private:
  bool& destroyed_;
};

TEST(Data, KeepsTheSettingsObjectAliveAndWritesIntoItsValues) {
  bool destroyed = false;
  auto owner = make_com<SettingsOwner>(destroyed);
  HRV::SettingsFields& fields = owner->fields;
  auto data = make_com<Data>(ComPtr<IUnknown>::retain(owner->identity()), fields);
  owner.reset();
  EXPECT_FALSE(destroyed);
  ASSERT_EQ(data->Load(EarlierRegionStream{}.build().stream().get()), S_OK);
  EXPECT_EQ(AnalysisRegion::from(fields), kEarlierRegion);
  data.reset();
  EXPECT_TRUE(destroyed);
}

}  // namespace
