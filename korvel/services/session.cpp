// SPDX-License-Identifier: MIT
#include "korvel/services/session.h"

#include <algorithm>

namespace korvel::services {

Session::Session(ComPtr<app::Application> application)
    : application_(std::move(application)), menus_(make_com<MenuService>()) {}

Session::~Session() {
  // Closing may make extensions call back into the session; keep it whole until the end.
  for (auto& f : frames_) f->close();
  active_ = nullptr;
  frames_.clear();
}

DocumentFrame& Session::open(doc::Document document, const FrameOptions& options, const std::vector<SavedItem>& saved) {
  return open(make_com<app::HostDocument>(std::move(document), application_.get()), options, saved);
}

DocumentFrame& Session::open(ComPtr<app::HostDocument> data, const FrameOptions& options, const std::vector<SavedItem>& saved) {
  auto frame = std::make_unique<DocumentFrame>(*this, std::move(data), next_identity_++, options);
  frame->attach_extensions(saved);
  frames_.push_back(std::move(frame));
  active_ = frames_.back().get();
  return *active_;
}

HRESULT Session::service(const GUID& iid, void** object) const {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (const auto& s : services_)
    if (SUCCEEDED(s->QueryInterface(iid, object))) return S_OK;
  return E_NOINTERFACE;
}

void Session::close(DocumentFrame& frame) {
  auto it = std::find_if(frames_.begin(), frames_.end(), [&](const auto& f) { return f.get() == &frame; });
  if (it == frames_.end()) return;
  frame.close();
  std::unique_ptr<DocumentFrame> gone = std::move(*it);
  frames_.erase(it);
  if (active_ == gone.get()) active_ = frames_.empty() ? nullptr : frames_.back().get();
}

}  // namespace korvel::services
