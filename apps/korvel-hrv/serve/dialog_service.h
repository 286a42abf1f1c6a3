// SPDX-License-Identifier: MIT
// The host's dialog service in the browser: an extension's dialog (its template and its
// controller, sdk/host/dialogs.h) is shown as a modal form over the page. ShowModal keeps
// the host thread answering the page's requests until the dialog closes, as a desktop
// host's modal loop does; the page sends each control's notification here, this relays it
// to the controller and carries out what the controller asks (close, show a dialog over
// it, open a help page). A dialog another asked for closes back into it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sdk/cpp/com_object.h"
#include "sdk/host/dialogs.h"

namespace korvel_hrv {

class DialogService final : public ComObject<IDialogService> {
 public:
  // How the service waits on the host thread: runs the page's requests until `done` holds
  // (false: the host is stopping); and how it tells the page that something changed.
  struct Host {
    std::function<bool(const std::function<bool()>& done)> run_until;
    std::function<void()> changed;
  };
  void connect(Host host) { host_ = std::move(host); }

  // E_NOTIMPL until connected.
  HRESULT ShowModal(IExtensionDialog* dialog, std::int32_t* result) override;

  // The open dialogs, the one in front last: {id, title, width, height, controls: [{id,
  // kind, x, y, width, height, text, min, max, enabled, checked, warning, selection,
  // position, items}], preview?}, and the help topic asked for last.
  nlohmann::json state() const;
  // A notification of a control of the dialog in front, which is `dialog` (its place in
  // the list of open dialogs). Throws RequestError for another dialog or an unknown control.
  void notify(std::size_t dialog, const DialogNotification& notification);
  // What preview pane `control` of the dialog in front draws, or nothing.
  std::optional<DialogPreview> preview(std::int32_t control) const;

 private:
  struct Open {
    ComPtr<IExtensionDialog> dialog;
    bool child = false;       // asked for by the dialog under it, not shown by ShowModal
    std::int32_t result = 0;  // 0 while open
  };
  // Carries out what the dialog in front asked for.
  void take_requests();

  Host host_;
  std::vector<Open> open_;
  std::string help_;  // "topic", counted in helpCount_
  int helpCount_ = 0;
};

}  // namespace korvel_hrv
