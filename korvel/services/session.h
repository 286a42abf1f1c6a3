// SPDX-License-Identifier: MIT
// One run of the host: the application with the extensions it loaded, the menus they
// added, the macro recorder, and the open documents, one of them active (the one that
// menu commands reach).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "korvel/app/application.h"
#include "korvel/doc/document.h"
#include "korvel/services/document_frame.h"
#include "korvel/services/macros.h"
#include "korvel/services/menu_service.h"

namespace korvel::services {

class Session {
 public:
  explicit Session(ComPtr<app::Application> application);
  // Closes every document.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  app::Application& application() noexcept { return *application_; }
  const ComPtr<app::Application>& application_object() const noexcept { return application_; }
  MenuService& menus() noexcept { return *menus_; }
  MacroRecorder& macros() noexcept { return macros_; }

  // Opens a host document over `document` (or over `data`, whose computed channels the
  // caller may have defined already) and makes it the active one. `saved` holds the
  // persisted items of a document being loaded. Throws what DocumentFrame::
  // attach_extensions throws; nothing stays open then.
  DocumentFrame& open(doc::Document document, const FrameOptions& options = {}, const std::vector<SavedItem>& saved = {});
  DocumentFrame& open(ComPtr<app::HostDocument> data, const FrameOptions& options = {}, const std::vector<SavedItem>& saved = {});
  void close(DocumentFrame& frame);

  // Application-wide services that extensions reach through IHostServices: the clipboard,
  // the plot controls. A service is found by asking each offered object for the interface.
  void offer(ComPtr<IUnknown> service) { services_.push_back(std::move(service)); }
  // The offered object that answers `iid`, as that interface (AddRef'ed, in `object`);
  // E_NOINTERFACE when none does.
  HRESULT service(const GUID& iid, void** object) const;

  const std::vector<std::unique_ptr<DocumentFrame>>& documents() const noexcept { return frames_; }
  // Null when no document is open.
  DocumentFrame* active() noexcept { return active_; }
  void activate(DocumentFrame& frame) noexcept { active_ = &frame; }

 private:
  ComPtr<app::Application> application_;
  ComPtr<MenuService> menus_;
  MacroRecorder macros_;
  std::vector<ComPtr<IUnknown>> services_;
  std::vector<std::unique_ptr<DocumentFrame>> frames_;
  DocumentFrame* active_ = nullptr;
  std::int32_t next_identity_ = 1;
};

}  // namespace korvel::services
