// SPDX-License-Identifier: MIT
#include "hrv/core/stretch_results.h"

#include "sdk/cpp/hresult_error.h"

namespace HRV {

std::shared_ptr<const StretchAnalysis> StretchResults::get(IDocumentData* data, const SettingsFields& settings, ChannelId fiducial) {
  Key key{data, settings, fiducial, TickPosition::unset()};
  key.settings.PresetScratch = TickPosition::kUnset;  // scratch, not a setting
  check_hresult(data->GetEndOfData(&key.endOfData), "end of data");
  if (kept_ && key == key_) return kept_;
  kept_.reset();
  auto fresh = std::make_shared<StretchAnalysis>();
  fresh->includedBeats = fresh->results.Recalculate(0xFFFFFFFFu, data, settings, fiducial);
  key_ = key;
  kept_ = fresh;
  return kept_;
}

}  // namespace HRV
