// SPDX-License-Identifier: MIT
// The host's application-wide user-interface services, offered to the extensions of a
// session (IHostServices): the clipboard, the plot controls and the HTML pages.
#pragma once

#include "korvel/services/session.h"
#include "korvel/ui/clipboard.h"
#include "korvel/ui/html_views.h"
#include "korvel/ui/plot_control.h"

namespace korvel::ui {

struct UiServices {
  ComPtr<Clipboard> clipboard;
  ComPtr<PlotControls> plots;
  ComPtr<HtmlViews> pages;
};

// Creates the services and offers them to `session`.
UiServices install_ui(services::Session& session);

}  // namespace korvel::ui
