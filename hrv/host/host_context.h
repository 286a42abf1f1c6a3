// SPDX-License-Identifier: MIT
// The extension's view of its host: the application object handed over at registration and
// the module ids asked of it. Objects that the host creates on its own (child data, views)
// have no other way to reach the host, so the context is process-wide.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "sdk/cpp/com_ptr.h"
#include "sdk/host/application.h"

namespace HRV {

// A 32-bit type id: the host-assigned module id in the high 16 bits, the extension's local
// number in the low 16 bits.
constexpr std::uint32_t make_type_id(std::uint16_t moduleId, std::uint16_t local) noexcept {
  return (std::uint32_t{moduleId} << 16) | local;
}

class HostContext {
 public:
  // The one context of this process.
  static HostContext& instance() noexcept;

  // Installs the host's application object (the registration entry point does this once; a
  // test installs a fake one and null afterwards). Forgets every cached module id, since
  // they belong to the previous application.
  void set_application(ComPtr<IApplication> application);
  // Null before registration.
  ComPtr<IApplication> application() const;

  // The module id the host assigned to `family`. The host is asked once per family; later
  // calls answer from the cache. Throws HResultError with E_UNEXPECTED when no application
  // is installed, or with the host's code when it refuses; a failed lookup is not cached.
  std::uint16_t module_id(const GUID& family);

 private:
  HostContext() = default;

  // Guards the one-time lookups: the only lock the extension holds.
  mutable std::mutex mutex_;
  ComPtr<IApplication> application_;
  std::vector<std::pair<GUID, std::uint16_t>> module_ids_;
};

}  // namespace HRV
