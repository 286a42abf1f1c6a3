// SPDX-License-Identifier: MIT
// The per-record beat-number cache, attached to the host's chart data so that the fiducial
// enumerator can continue beat numbers across records. Lives only in memory.
#pragma once

#include <cstdint>
#include <map>

#include "sdk/hrv/beat_data.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/chart.h"

namespace HRV {

class EventIdCache final : public ComObject<IChartDataChildData, IEventIdCache> {
 public:
  // The child-data type id; throws HResultError when the host gives no module id.
  static std::uint32_t type_id();

  // IChartDataChildData
  HRESULT GetTypeId(std::uint32_t* typeId) override;
  HRESULT Clone(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                IChartDataChildData** copy) override;
  HRESULT OnDataInserted(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnDataRemoved(std::int32_t, std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnRecordsChanged(std::int32_t, std::int32_t) override { return S_OK; }

  // IEventIdCache
  HRESULT Clear() override;
  HRESULT IsEmpty(VARIANT_BOOL* empty) override;
  HRESULT SetLastBeatNumber(std::int32_t record, std::uint32_t number) override;
  HRESULT GetLastBeatNumber(std::int32_t record, std::uint32_t* number) override;

 private:
  std::map<std::int32_t, std::uint32_t> last_numbers_;  // record -> number of its last beat
};

}  // namespace HRV
