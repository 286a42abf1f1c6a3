// SPDX-License-Identifier: MIT
// Sampling: the manager that accepts sinks, and the sink an extension implements to
// analyse while the host records.
#pragma once

#include <cstdint>

#include "sdk/unknown.h"

// Implemented by the extension; called by the host, on its user-interface thread, in the
// order CanStartSampling, SamplingStarting, SamplingStateChanged, OnlineData...,
// SamplingEnding, SamplingStopped.
struct IOnlineDataSink : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{C4AEA2A0-0F3D-11D4-80F2-00A0C9E26433}");

  // S_OK when sampling may start, S_FALSE when not; `allowed` (out).
  virtual HRESULT CanStartSampling(std::int32_t argument, VARIANT_BOOL* allowed) = 0;
  virtual HRESULT SamplingStarting(std::int32_t argument) = 0;
  // The eleven host arguments are the host's; `sampling` is the new state.
  virtual HRESULT SamplingStateChanged(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4,
                                       std::int32_t a5, std::int32_t a6, std::int32_t a7, std::int32_t a8,
                                       std::int32_t a9, std::int32_t a10, std::int32_t a11,
                                       VARIANT_BOOL sampling) = 0;
  // New data arrived.
  virtual HRESULT OnlineData(std::int32_t argument) = 0;
  virtual HRESULT SamplingEnding(std::int32_t a1, std::int32_t a2) = 0;
  virtual HRESULT SamplingStopped(std::int32_t argument) = 0;
  // Further host callbacks with fixed answers.
  virtual HRESULT OnSamplingEvent(std::int32_t a1, std::int32_t a2) = 0;   // S_OK
  virtual HRESULT OnTriggerArmed() = 0;                                     // E_NOTIMPL
  virtual HRESULT OnTriggerDisarmed() = 0;                                  // E_NOTIMPL
  virtual HRESULT OnDisplayRefresh(std::int32_t argument) = 0;              // S_OK
  virtual HRESULT GetRefreshInterval(std::int32_t* milliseconds) = 0;       // writes 200
  virtual HRESULT GetBufferRequest(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t* request) = 0;

 protected:
  ~IOnlineDataSink() = default;
};

// Implemented by the host.
struct ISamplingManager : IUnknown {
  using base_interface = IUnknown;
  static constexpr GUID iid = make_guid("{4B1A6E0E-5C1D-4F0B-9B53-2E6C8A51C040}");

  virtual HRESULT AddSink(IOnlineDataSink* sink) = 0;
  // S_FALSE when the sink was not registered.
  virtual HRESULT RemoveSink(IOnlineDataSink* sink) = 0;

 protected:
  ~ISamplingManager() = default;
};
