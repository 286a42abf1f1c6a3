// SPDX-License-Identifier: MIT
#include "hrv/host/host_context.h"

#include <algorithm>

#include "sdk/cpp/hresult_error.h"

namespace HRV {

HostContext& HostContext::instance() noexcept {
  static HostContext context;
  return context;
}

void HostContext::set_application(ComPtr<IApplication> application) {
  std::lock_guard lock(mutex_);
  application_ = std::move(application);
  module_ids_.clear();
}

ComPtr<IApplication> HostContext::application() const {
  std::lock_guard lock(mutex_);
  return application_;
}

std::uint16_t HostContext::module_id(const GUID& family) {
  std::lock_guard lock(mutex_);
  auto cached = std::find_if(module_ids_.begin(), module_ids_.end(), [&](const auto& entry) { return entry.first == family; });
  if (cached != module_ids_.end()) return cached->second;
  if (!application_) throw_hresult(E_UNEXPECTED, "module id asked before the host registered the extension");
  std::uint16_t id = 0;
  check_hresult(application_->GetModuleId(family, &id), "host refused a module id");
  module_ids_.emplace_back(family, id);
  return id;
}

}  // namespace HRV
