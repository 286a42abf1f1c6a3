// SPDX-License-Identifier: MIT
// The user's beat edits (added and removed beat positions), attached to the host's chart
// data so that the fiducial enumerator applies them. HRV::Data owns the document's copy
// and persists it.
#pragma once

#include <cstdint>
#include <set>

#include "sdk/hrv/beat_data.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/chart.h"

namespace HRV {

class UserEventData final : public ComObject<IChartDataChildData, IUserEventData> {
 public:
  using PositionSet = std::set<TickPosition>;

  // The child-data type id; throws HResultError when the host gives no module id.
  static std::uint32_t type_id();

  // IChartDataChildData
  HRESULT GetTypeId(std::uint32_t* typeId) override;
  HRESULT Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                IChartDataChildData** copy) override;
  HRESULT OnDataInserted(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnDataRemoved(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnRecordsChanged(std::int32_t, std::int32_t) override { return S_OK; }

  // IUserEventData
  HRESULT Clear() override;
  HRESULT IsEmpty(VARIANT_BOOL* empty) override;
  HRESULT Add(const TickPosition* position, std::int32_t set) override;
  HRESULT Remove(const TickPosition* position, std::int32_t set) override;
  HRESULT FindAtOrAfter(const TickPosition* position, std::int32_t set, TickPosition* found) override;

  // Engine access for the persisted form.
  const PositionSet& positions(UserEventSet set) const noexcept { return sets_[index(set)]; }
  PositionSet& positions(UserEventSet set) noexcept { return sets_[index(set)]; }

 private:
  static constexpr int index(std::int32_t set) noexcept { return set == AddedBeats ? 0 : 1; }

  PositionSet sets_[2];
};

}  // namespace HRV
