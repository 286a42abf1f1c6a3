// SPDX-License-Identifier: MIT
// The analysis of one stretch of a document's data, kept for the next request of the same
// stretch. A table row asks each of its Tabulet functions (some thirty columns) for the same
// stretch with the same settings, one after another; without it every cell would read the
// stretch's beats and compute their spectrum again. The document forgets the stretch on any
// change it hears of (a host notification, its own re-analysis); the key also holds the
// settings and where the host's data end, so that neither a setting changed behind the
// document's back nor samples added since can be answered from the old stretch.
#pragma once

#include <cstdint>
#include <memory>

#include "hrv/core/analysis_results.h"
#include "hrv/core/settings_fields.h"
#include "sdk/host/channel_id.h"
#include "sdk/host/document_data.h"
#include "sdk/tick_position.h"

namespace HRV {

struct StretchAnalysis {
  AnalysisResults results;
  std::uint32_t includedBeats = 0;  // what AnalysisResults::Recalculate returned
};

class StretchResults {
 public:
  // The analysis of the region of `settings` read from `data` over `fiducial`: the kept one
  // when everything it depends on is unchanged, else a new one, kept in its place. Throws
  // what AnalysisResults::Recalculate throws (and keeps nothing then).
  std::shared_ptr<const StretchAnalysis> get(IDocumentData* data, const SettingsFields& settings, ChannelId fiducial);

  void forget() noexcept { kept_.reset(); }

 private:
  struct Key {
    IDocumentData* data = nullptr;
    SettingsFields settings;
    ChannelId fiducial;
    TickPosition endOfData;
    bool operator==(const Key&) const = default;
  };
  Key key_;
  std::shared_ptr<const StretchAnalysis> kept_;
};

}  // namespace HRV
