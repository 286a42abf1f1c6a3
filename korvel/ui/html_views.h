// SPDX-License-Identifier: MIT
// The host's HTML pages, which views such as the report show. Without a browser here, a
// page keeps the HTML it was last given and what it was asked to print.
#pragma once

#include <string>
#include <vector>

#include "sdk/cpp/com_object.h"
#include "sdk/host/views.h"

namespace korvel::ui {

class HtmlView final : public ComObject<IHtmlView> {
 public:
  const std::u16string& html() const noexcept { return html_; }
  int printed() const noexcept { return printed_; }
  bool closed() const noexcept { return closed_; }

  HRESULT SetHtml(const char16_t* html) override;
  HRESULT Print() override;
  HRESULT Close() override;

 private:
  std::u16string html_;
  int printed_ = 0;
  bool closed_ = false;
};

class HtmlViews final : public ComObject<IHtmlViews> {
 public:
  // Every page made, in order; closed ones too.
  const std::vector<ComPtr<HtmlView>>& pages() const noexcept { return pages_; }
  HRESULT CreateHtmlView(IHtmlView** view) override;

 private:
  std::vector<ComPtr<HtmlView>> pages_;
};

}  // namespace korvel::ui
