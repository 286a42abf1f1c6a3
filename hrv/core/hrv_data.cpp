// SPDX-License-Identifier: MIT
#include "hrv/core/hrv_data.h"

#include <optional>

#include "hrv/core/analysis_region.h"
#include "hrv/core/tagged_blocks.h"
#include "hrv/host/guids.h"
#include "sdk/cpp/binary_stream.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/out_param.h"
#include "sdk/hrv/result_codes.h"

namespace HRV {

namespace {

constexpr std::int32_t kRegionBlockTag = 0x10008;
constexpr std::int32_t kRegionPositionsTag = 0x10009;
constexpr std::int32_t kRegionOnlyHeaderVersion = 101;  // block ends before the region

// The region block of the earlier format. Returns the region when the block was read up to
// its positions (a position cut off by the end of the stream stays unset), nothing when
// the block carries no region; throws HResultError when the block is damaged.
std::optional<AnalysisRegion> read_earlier_region(BinaryReader& in) {
  const std::int32_t version = tagged_blocks::read_block_version(in, {101, 102, 103});
  tagged_blocks::expect_tag(in, kRegionBlockTag);
  in.skip(4 + 8);
  tagged_blocks::skip_string(in);
  in.skip(4);
  if (version == kRegionOnlyHeaderVersion) return std::nullopt;
  in.skip(8);
  for (int i = 0; i < 5; ++i) tagged_blocks::skip_string(in);
  tagged_blocks::expect_tag(in, kRegionPositionsTag);
  in.skip(2 * 4);
  AnalysisRegion region;
  // Once the stream has ended every further read does nothing, leaving the rest unset.
  in.read(region.start.record);
  in.read(region.start.tick);
  in.read(region.end.record);
  in.read(region.end.tick);
  return region;
}

void read_positions(BinaryReader& in, UserEventData::PositionSet& set) {
  std::uint32_t count = 0;
  if (!in.read(count)) return;
  for (std::uint32_t i = 0; i < count; ++i) {
    TickPosition p;
    if (!in.read(p.record) || !in.read(p.tick)) return;
    set.insert(p);
  }
}

void write_positions(BinaryWriter& out, const UserEventData::PositionSet& set) {
  out.write(static_cast<std::uint32_t>(set.size()));
  for (const TickPosition& p : set) {
    out.write(p.record);
    out.write(p.tick);
  }
}

}  // namespace

Data::Data(ComPtr<IUnknown> settingsOwner, SettingsFields& settings)
    : settings_owner_(std::move(settingsOwner)), settings_(settings), user_events_(make_com<UserEventData>()) {}

HRESULT Data::GetClassID(GUID* classId) { return copy_out<GUID>(GUID_HRVDocumentObj, classId); }

HRESULT Data::Load(IByteStream* stream) {
  return guard([&] {
    if (!stream) return E_POINTER;
    BinaryReader in(stream);
    // An empty stream reads as a current one without edits.
    std::int32_t version = kStreamVersion;
    in.read(version);
    if (version == kEarlierFormatVersion) {
      // The earlier format kept only the region here; the user edits stay as they are.
      try {
        if (auto region = read_earlier_region(in)) region->store_in(settings_);
      } catch (const HResultError&) {
        // A damaged block leaves the region as it was; the load itself still succeeds.
      }
    } else if (version > kStreamVersion) {
      return HRV_E_NEWER_VERSION;
    } else {
      user_events_->Clear();
      read_positions(in, user_events_->positions(AddedBeats));
      read_positions(in, user_events_->positions(RemovedBeats));
    }
    loaded_ = true;
    registered_ = true;
    dirty_ = false;
    return S_OK;
  });
}

HRESULT Data::Save(IByteStream* stream, VARIANT_BOOL clearDirty) {
  return guard([&] {
    if (!stream) return E_POINTER;
    BinaryWriter out(stream);
    out.write(kStreamVersion);
    write_positions(out, user_events_->positions(AddedBeats));
    write_positions(out, user_events_->positions(RemovedBeats));
    if (out.failed()) return E_FAIL;
    if (clearDirty) dirty_ = false;
    return S_OK;
  });
}

HRESULT Data::InitNew() {
  user_events_->Clear();
  return S_OK;
}

}  // namespace HRV
