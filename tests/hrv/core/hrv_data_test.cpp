// SPDX-License-Identifier: MIT
#include "hrv/core/hrv_data.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hrv/core/analysis_region.h"
#include "hrv/core/tagged_blocks.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/memory_stream.h"
#include "tests/hrv/core/tick_position_printer.h"
#include "sdk/hrv/result_codes.h"

namespace {

using HRV::AddedBeats;
using HRV::AnalysisRegion;
using HRV::Data;
using HRV::RemovedBeats;
using HRV::SettingsFields;
using Positions = std::vector<TickPosition>;

// Builds a stream field by field.
class StreamBuilder {
 public:
  StreamBuilder& i32(std::int32_t v) {
    out_.write(v);
    return *this;
  }
  StreamBuilder& u32(std::uint32_t v) {
    out_.write(v);
    return *this;
  }
  StreamBuilder& f64(double v) {
    out_.write(v);
    return *this;
  }
  StreamBuilder& str(std::u16string_view text) {
    HRV::tagged_blocks::write_string(out_, text);
    return *this;
  }
  StreamBuilder& position(TickPosition p) { return i32(p.record).i32(p.tick); }
  // The bytes so far, cut to `size` when that is smaller.
  ComPtr<MemoryStream> stream(std::size_t size = SIZE_MAX) const {
    auto bytes = stream_->bytes();
    if (size < bytes.size()) bytes.resize(size);
    return make_com<MemoryStream>(std::move(bytes));
  }
  std::size_t size() const { return stream_->bytes().size(); }

 private:
  ComPtr<MemoryStream> stream_ = make_com<MemoryStream>();
  BinaryWriter out_{stream_.get()};
};

Positions contents(const Data& data, HRV::UserEventSet set) {
  const auto& s = data.user_events().positions(set);
  return {s.begin(), s.end()};
}

void add(Data& data, TickPosition p, HRV::UserEventSet set) { data.user_events().Add(&p, set); }

constexpr AnalysisRegion kStoredRegion{{12, 1}, {3400, 2}};
constexpr AnalysisRegion kEarlierRegion{{250, 0}, {80000, 4}};

// The earlier-format stream: version 0x10007 and the region block, with hooks to damage it.
struct EarlierRegionStream {
  std::int32_t inner_version = 103;
  std::int32_t header_tag = 0x10008;
  std::int32_t positions_tag = 0x10009;
  std::int32_t string_encoding = HRV::tagged_blocks::kStringEncodingUtf16;
  AnalysisRegion region = kEarlierRegion;

  StreamBuilder build() const {
    StreamBuilder b;
    b.i32(0x10007).i32(inner_version).i32(header_tag);
    b.i32(17).f64(2.5);
    b.i32(string_encoding).i32(4).i32(0x00620061).i32(0x00640063);  // "abcd" in the string format
    b.i32(1);
    if (inner_version == 101) return b;
    b.f64(1000.0).str(u"ECG").str(u"").str(u"Lead II").str(u"mV").str(u"\u00b5V");
    b.i32(positions_tag).i32(0).i32(1);
    b.position(region.start).position(region.end);
    return b;
  }
};

class DataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kStoredRegion.store_in(settings);
    add(*data, {5, 0}, AddedBeats);
    add(*data, {9, 0}, RemovedBeats);
  }

  // Asserts the flags that every successful load leaves.
  void expect_loaded_state() const {
    EXPECT_TRUE(data->loaded());
    EXPECT_TRUE(data->registered());
    EXPECT_EQ(data->IsDirty(), S_FALSE);
  }

  SettingsFields settings;
  ComPtr<Data> data = make_com<Data>(nullptr, settings);
};

TEST_F(DataTest, EmptyEditsSaveAsTwelveBytesAndReadBackEmpty) {
  data->InitNew();
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_TRUE), S_OK);
  EXPECT_EQ(stream->bytes(), (std::vector<std::uint8_t>{6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  add(*data, {1, 1}, AddedBeats);
  stream->rewind();
  ASSERT_EQ(data->Load(stream.get()), S_OK);
  EXPECT_EQ(data->user_events().IsEmpty(nullptr), S_OK);
}

TEST_F(DataTest, SaveWritesEachSetAscendingWithRecordBeforeTick) {
  data->InitNew();
  add(*data, {5, 2}, AddedBeats);
  add(*data, {1000000, 1}, AddedBeats);
  add(*data, {-3, 0x7FFFFFFE}, RemovedBeats);
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_FALSE), S_OK);
  auto expected = StreamBuilder().i32(6).u32(2).i32(1).i32(1000000).i32(2).i32(5).u32(1).i32(0x7FFFFFFE).i32(-3).stream();
  EXPECT_EQ(stream->bytes(), expected->bytes());

  auto copy = make_com<Data>(nullptr, settings);
  stream->rewind();
  ASSERT_EQ(copy->Load(stream.get()), S_OK);
  EXPECT_EQ(contents(*copy, AddedBeats), contents(*data, AddedBeats));
  EXPECT_EQ(contents(*copy, RemovedBeats), contents(*data, RemovedBeats));
}

TEST_F(DataTest, DirtyFlagFollowsSaveRequestAndLoad) {
  EXPECT_EQ(data->IsDirty(), S_FALSE);
  data->set_dirty();
  EXPECT_EQ(data->IsDirty(), S_OK);
  auto stream = make_com<MemoryStream>();
  ASSERT_EQ(data->Save(stream.get(), VARIANT_FALSE), S_OK);
  EXPECT_EQ(data->IsDirty(), S_OK);
  ASSERT_EQ(data->Save(stream.get(), VARIANT_TRUE), S_OK);
  EXPECT_EQ(data->IsDirty(), S_FALSE);

  data->set_dirty();
  EXPECT_FALSE(data->loaded());
  stream->rewind();
  ASSERT_EQ(data->Load(stream.get()), S_OK);
  expect_loaded_state();
}

TEST_F(DataTest, VersionsUpToSixReadAsTheCurrentFormatReplacingTheEdits) {
  for (std::int32_t version : {-1, 0, 1, 5, 6}) {
    SCOPED_TRACE("version " + std::to_string(version));
    auto stream = StreamBuilder().i32(version).u32(1).position({77, 3}).u32(2).position({1, 0}).position({2, 0}).stream();
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
    auto stream = StreamBuilder().i32(version).u32(0).u32(0).stream();
    EXPECT_EQ(data->Load(stream.get()), HRV_E_NEWER_VERSION);
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{5, 0}}));
    EXPECT_EQ(contents(*data, RemovedBeats), (Positions{{9, 0}}));
    EXPECT_FALSE(data->loaded());
    EXPECT_FALSE(data->registered());
    EXPECT_EQ(data->IsDirty(), S_OK);
  }
}

TEST_F(DataTest, TruncatedStreamKeepsWhatWasRead) {
  StreamBuilder full;
  full.i32(6).u32(3).position({10, 0}).position({20, 0}).position({30, 0}).u32(1).position({40, 0});
  const std::size_t header = 8, position = 8;
  struct Case {
    std::size_t size;
    Positions added, removed;
  };
  const std::vector<Case> cases = {
      {0, {}, {}},  // nothing at all reads as a current stream without edits
      {header + 2 * position + 4, {{10, 0}, {20, 0}}, {}},  // third position cut after its record
      {header + 3 * position + 2, {{10, 0}, {20, 0}, {30, 0}}, {}},
      {full.size() - 1, {{10, 0}, {20, 0}, {30, 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("stream cut to " + std::to_string(c.size) + " bytes");
    EXPECT_EQ(data->Load(full.stream(c.size).get()), S_OK);
    EXPECT_EQ(contents(*data, AddedBeats), c.added);
    EXPECT_EQ(contents(*data, RemovedBeats), c.removed);
    expect_loaded_state();
  }
}

TEST_F(DataTest, EarlierFormatCopiesTheRegionAndKeepsTheEdits) {
  for (std::int32_t inner : {102, 103}) {
    SCOPED_TRACE("inner version " + std::to_string(inner));
    kStoredRegion.store_in(settings);
    EarlierRegionStream earlier;
    earlier.inner_version = inner;
    EXPECT_EQ(data->Load(earlier.build().stream().get()), S_OK);
    EXPECT_EQ(AnalysisRegion::from(settings), kEarlierRegion);
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{5, 0}}));
    EXPECT_EQ(contents(*data, RemovedBeats), (Positions{{9, 0}}));
    expect_loaded_state();
  }
}

TEST_F(DataTest, DamagedEarlierRegionBlockLeavesTheRegionAndStillLoads) {
  struct Case {
    const char* what;
    std::function<void(EarlierRegionStream&)> damage;
    std::size_t cut = SIZE_MAX;
  };
  const std::vector<Case> cases = {
      {"header-only inner version 101", [](EarlierRegionStream& s) { s.inner_version = 101; }},
      {"unknown inner version", [](EarlierRegionStream& s) { s.inner_version = 104; }},
      {"wrong header tag", [](EarlierRegionStream& s) { s.header_tag = 0x10009; }},
      {"wrong positions tag", [](EarlierRegionStream& s) { s.positions_tag = 0x10008; }},
      {"unreadable string", [](EarlierRegionStream& s) { s.string_encoding = 7; }},
      {"stream ends inside the strings", [](EarlierRegionStream&) {}, 70},
      {"stream ends before the positions tag", [](EarlierRegionStream&) {}, 120},
      {"stream ends inside the positions tag", [](EarlierRegionStream&) {}, 122},
      {"stream ends right after the version", [](EarlierRegionStream&) {}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EarlierRegionStream earlier;
    c.damage(earlier);
    data->set_dirty();
    EXPECT_EQ(data->Load(earlier.build().stream(c.cut).get()), S_OK);
    EXPECT_EQ(AnalysisRegion::from(settings), kStoredRegion);
    EXPECT_EQ(contents(*data, AddedBeats), (Positions{{5, 0}}));
    expect_loaded_state();
  }
}

TEST_F(DataTest, EarlierRegionCutInsideThePositionsLeavesTheUnreadValuesUnset) {
  StreamBuilder full = EarlierRegionStream{}.build();
  // Only the start position and the end record made it into the file.
  ASSERT_EQ(data->Load(full.stream(full.size() - 4).get()), S_OK);
  EXPECT_EQ(settings.StartRecord, kEarlierRegion.start.record);
  EXPECT_EQ(settings.StartTick, kEarlierRegion.start.tick);
  EXPECT_EQ(settings.EndRecord, kEarlierRegion.end.record);
  EXPECT_EQ(settings.EndTick, 0x7FFFFFFF);
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
  EXPECT_TRUE(data.query<IPersistStreamInit>());
  EXPECT_TRUE(data.query<IPersist>());
}

// A settings object stand-in that reports its destruction.
class SettingsOwner final : public ComObject<IUnknown> {
 public:
  explicit SettingsOwner(bool& destroyed) : destroyed_(destroyed) {}
  ~SettingsOwner() override { destroyed_ = true; }
  SettingsFields fields;

 private:
  bool& destroyed_;
};

TEST(Data, KeepsTheSettingsObjectAliveAndWritesIntoItsValues) {
  bool destroyed = false;
  auto owner = make_com<SettingsOwner>(destroyed);
  SettingsFields& fields = owner->fields;
  auto data = make_com<Data>(ComPtr<IUnknown>::retain(owner->identity()), fields);
  owner.reset();
  EXPECT_FALSE(destroyed);
  ASSERT_EQ(data->Load(EarlierRegionStream{}.build().stream().get()), S_OK);
  EXPECT_EQ(AnalysisRegion::from(fields), kEarlierRegion);
  data.reset();
  EXPECT_TRUE(destroyed);
}

}  // namespace
