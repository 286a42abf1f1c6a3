// SPDX-License-Identifier: MIT
// Arbitrary bytes as the persisted edit-data stream. Whatever loads must save as a
// version-6 stream that loads again into the same edits and saves to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hrv/core/analysis_region.h"
#include "hrv/core/hrv_data.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/hrv/result_codes.h"

namespace {

std::vector<std::uint8_t> saved(HRV::Data& data) {
  auto out = make_com<MemoryStream>();
  if (data.Save(out.get(), VARIANT_TRUE) != S_OK) std::abort();
  return out->bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  HRV::SettingsFields settings;
  auto data = make_com<HRV::Data>(nullptr, settings);
  auto in = make_com<MemoryStream>(std::vector<std::uint8_t>(bytes, bytes + size));
  const HRESULT hr = data->Load(in.get());
  if (hr == HRV_E_NEWER_VERSION) return 0;
  if (hr != S_OK || !data->loaded()) std::abort();

  const std::vector<std::uint8_t> first = saved(*data);
  const auto& added = data->user_events().positions(HRV::AddedBeats);
  const auto& removed = data->user_events().positions(HRV::RemovedBeats);
  if (first.size() != 12 + 8 * (added.size() + removed.size())) std::abort();

  HRV::SettingsFields untouched;
  auto again = make_com<HRV::Data>(nullptr, untouched);
  auto replay = make_com<MemoryStream>(first);
  if (again->Load(replay.get()) != S_OK) std::abort();
  if (again->user_events().positions(HRV::AddedBeats) != added) std::abort();
  if (again->user_events().positions(HRV::RemovedBeats) != removed) std::abort();
  if (saved(*again) != first) std::abort();
  // A current-format stream never touches the analysis region.
  if (HRV::AnalysisRegion::from(untouched) != HRV::AnalysisRegion{}) std::abort();
  return 0;
}
