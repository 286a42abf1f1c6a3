// SPDX-License-Identifier: MIT
// A stand-in for the host's application object: answers module ids from a table, counts
// how often it was asked, and can refuse. Installed into the extension's HostContext for
// the lifetime of an InstalledApplication.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "hrv/host/host_context.h"
#include "sdk/cpp/com_object.h"

namespace test_support {

class FakeApplication final : public ComObject<IApplication> {
 public:
  explicit FakeApplication(std::vector<std::pair<GUID, std::uint16_t>> ids) : ids_(std::move(ids)) {}

  HRESULT GetModuleId(const GUID& family, std::uint16_t* moduleId) override {
    ++lookups;
    if (answer_delay.count() > 0) std::this_thread::sleep_for(answer_delay);
    if (refusal != S_OK) return refusal;
    for (const auto& [key, id] : ids_)
      if (key == family) {
        *moduleId = id;
        return S_OK;
      }
    return E_INVALIDARG;
  }
  HRESULT GetClassObjectRegistry(IClassObjectRegistry**) override { return E_NOTIMPL; }
  HRESULT GetMessageClassRegistry(IMessageClassRegistry**) override { return E_NOTIMPL; }
  HRESULT MessageBox(const char16_t*, const char16_t*, std::uint32_t, std::uint32_t, std::int32_t*) override {
    return E_NOTIMPL;
  }

  std::atomic<int> lookups{0};
  HRESULT refusal = S_OK;                      // returned instead of an id when not S_OK
  std::chrono::milliseconds answer_delay{0};   // widens the window for concurrent lookups

 private:
  std::vector<std::pair<GUID, std::uint16_t>> ids_;
};

// Installs an application for one scope and removes it afterwards.
class InstalledApplication {
 public:
  explicit InstalledApplication(IApplication* application) {
    HRV::HostContext::instance().set_application(ComPtr<IApplication>::retain(application));
  }
  ~InstalledApplication() { HRV::HostContext::instance().set_application(nullptr); }
  InstalledApplication(const InstalledApplication&) = delete;
  InstalledApplication& operator=(const InstalledApplication&) = delete;
};

}  // namespace test_support
