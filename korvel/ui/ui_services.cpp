// SPDX-License-Identifier: MIT
#include "korvel/ui/ui_services.h"

namespace korvel::ui {

UiServices install_ui(services::Session& session) {
  UiServices ui;
  ui.clipboard = make_com<Clipboard>();
  ui.plots = make_com<PlotControls>(ui.clipboard);
  session.offer(ComPtr<IUnknown>::retain(ui.clipboard->identity()));
  session.offer(ComPtr<IUnknown>::retain(ui.plots->identity()));
  ui.pages = make_com<HtmlViews>();
  session.offer(ComPtr<IUnknown>::retain(ui.pages->identity()));
  return ui;
}

}  // namespace korvel::ui
