// SPDX-License-Identifier: MIT
// The sampling manager of a document: the sinks that hear about sampling, in the order they
// were added. The sampler (sampler.h) calls them.
#pragma once

#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/sampling.h"

namespace korvel::services {

class SamplingManager final : public ComObject<ISamplingManager> {
 public:
  const std::vector<ComPtr<IOnlineDataSink>>& sinks() const noexcept { return sinks_; }
  // Releases every sink.
  void clear() noexcept { sinks_.clear(); }

  // E_POINTER for null; S_FALSE when the sink is registered already (it is not added twice).
  HRESULT AddSink(IOnlineDataSink* sink) override;
  HRESULT RemoveSink(IOnlineDataSink* sink) override;

 private:
  std::vector<ComPtr<IOnlineDataSink>> sinks_;
};

}  // namespace korvel::services
