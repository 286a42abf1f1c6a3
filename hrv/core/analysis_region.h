// SPDX-License-Identifier: MIT
// The stretch of data an analysis covers. The settings record holds it as four plain values
// (start tick, start record, end tick, end record); this type gives them their rules.
#pragma once

#include "hrv/core/settings_fields.h"
#include "sdk/tick_position.h"

namespace HRV {

struct AnalysisRegion {
  TickPosition start = TickPosition::unset();
  TickPosition end = TickPosition::unset();

  // From the start of the recording (tick 0 of record 0) to `end`.
  static constexpr AnalysisRegion whole_channel(TickPosition end) noexcept { return {{0, 0}, end}; }
  // From `start` to the open end of a region that grows while the host samples.
  static constexpr AnalysisRegion online(TickPosition start) noexcept { return {start, TickPosition::open_end()}; }

  static constexpr AnalysisRegion from(const SettingsFields& s) noexcept { return {s.region_start(), s.region_end()}; }
  constexpr void store_in(SettingsFields& s) const noexcept {
    s.StartTick = start.tick;
    s.StartRecord = start.record;
    s.EndTick = end.tick;
    s.EndRecord = end.record;
  }

  // Unset while either record is unset; the ticks do not matter.
  constexpr bool is_set() const noexcept { return start.is_set() && end.is_set(); }
  constexpr bool is_open_ended() const noexcept { return end == TickPosition::open_end(); }
  // Unsets both records; the ticks stay, since only the records mark a region as unset.
  constexpr void clear() noexcept {
    start.record = TickPosition::kUnset;
    end.record = TickPosition::kUnset;
  }

  friend constexpr bool operator==(const AnalysisRegion&, const AnalysisRegion&) noexcept = default;
};

}  // namespace HRV
