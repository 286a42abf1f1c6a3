// SPDX-License-Identifier: MIT
#include "korvel/services/sampling_manager.h"

#include <algorithm>

#include "sdk/cpp/hresult_error.h"

namespace korvel::services {

HRESULT SamplingManager::AddSink(IOnlineDataSink* sink) {
  if (!sink) return E_POINTER;
  return guard([&] {
    if (std::any_of(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.get() == sink; })) return S_FALSE;
    sinks_.push_back(ComPtr<IOnlineDataSink>::retain(sink));
    return S_OK;
  });
}

HRESULT SamplingManager::RemoveSink(IOnlineDataSink* sink) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.get() == sink; });
  if (it == sinks_.end()) return S_FALSE;
  // Releasing may destroy the sink, which may call back into the manager: erase first.
  ComPtr<IOnlineDataSink> gone = std::move(*it);
  sinks_.erase(it);
  return S_OK;
}

}  // namespace korvel::services
