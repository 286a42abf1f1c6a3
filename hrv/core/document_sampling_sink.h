// SPDX-License-Identifier: MIT
// The document's IOnlineDataSink: analysis while the host samples. The host calls it, while
// OnlineMode is on, in the order CanStartSampling, SamplingStarting, SamplingStateChanged,
// OnlineData..., SamplingEnding, SamplingStopped. A part of HRV::Document (one identity).
#pragma once

#include <cstdint>

#include "sdk/cpp/com_part.h"
#include "sdk/host/sampling.h"

namespace HRV {

class Document;

class DocumentSamplingSink final : public ComPart<IOnlineDataSink> {
 public:
  explicit DocumentSamplingSink(Document& document);

  HRESULT CanStartSampling(std::int32_t argument, VARIANT_BOOL* allowed) override;
  HRESULT SamplingStarting(std::int32_t argument) override;
  HRESULT SamplingStateChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               VARIANT_BOOL sampling) override;
  HRESULT OnlineData(std::int32_t argument) override;
  HRESULT SamplingEnding(std::int32_t, std::int32_t) override;
  HRESULT SamplingStopped(std::int32_t argument) override;
  HRESULT OnSamplingEvent(std::int32_t, std::int32_t) override { return S_OK; }
  HRESULT OnTriggerArmed() override { return E_NOTIMPL; }
  HRESULT OnTriggerDisarmed() override { return E_NOTIMPL; }
  HRESULT OnDisplayRefresh(std::int32_t) override { return S_OK; }
  HRESULT GetRefreshInterval(std::int32_t* milliseconds) override;
  HRESULT GetBufferRequest(std::int32_t, std::int32_t, std::int32_t, std::int32_t* request) override;

  // Registers the sink with the host's sampling manager while OnlineMode is on (and takes
  // it off otherwise); true when it is registered.
  bool UpdateRegistration();
  // Takes the sink off the sampling manager (the document closes).
  void Unregister();
  bool registered() const noexcept { return registered_; }

 private:
  Document& document_;
  // The sampling state the host last reported; gates OnlineData and SamplingEnding. True
  // until the host says otherwise.
  VARIANT_BOOL sampling_ = VARIANT_TRUE;
  bool registered_ = false;
};

}  // namespace HRV
