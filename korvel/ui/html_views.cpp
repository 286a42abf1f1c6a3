// SPDX-License-Identifier: MIT
#include "korvel/ui/html_views.h"

namespace korvel::ui {

HRESULT HtmlView::SetHtml(const char16_t* html) {
  if (!html) return E_POINTER;
  if (closed_) return E_UNEXPECTED;
  html_ = html;
  return S_OK;
}

HRESULT HtmlView::Print() {
  if (closed_) return E_UNEXPECTED;
  ++printed_;
  return S_OK;
}

HRESULT HtmlView::Close() {
  if (closed_) return E_UNEXPECTED;
  closed_ = true;
  return S_OK;
}

HRESULT HtmlViews::CreateHtmlView(IHtmlView** view) {
  if (!view) return E_POINTER;
  auto page = make_com<HtmlView>();
  pages_.push_back(page);
  *view = page.detach();
  return S_OK;
}

}  // namespace korvel::ui
