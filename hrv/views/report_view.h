// SPDX-License-Identifier: MIT
// The report view: the report page (report.h) shown in a host HTML page, rebuilt at every
// change of the analysis, copied to the clipboard as text and as "HTML Format", and printed
// by the page. No throttle: while the host samples every change rebuilds the whole page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hrv/core/document.h"
#include "hrv/views/report.h"
#include "sdk/cpp/com_ptr.h"
#include "sdk/host/clipboard.h"
#include "sdk/host/views.h"

namespace HRV {

class ReportView final : public DocumentObserver {
 public:
  explicit ReportView(Document& document);
  ~ReportView();
  ReportView(const ReportView&) = delete;
  ReportView& operator=(const ReportView&) = delete;

  // Any of the services may be null: without a page the report is only built, without a
  // clipboard Copy does nothing, without display preferences positions are shown in seconds.
  void SetUp(IHtmlView* page, IClipboard* clipboard, IDisplayPreferences* display);
  void Close();

  void AboutToChange(ChangeCode) override {}
  void Changed(ChangeCode) override { Refresh(); }
  // Data notifications 2 and 8 of the host document rebuild the page.
  void OnDataNotification(std::uint16_t number);
  // Empties the clipboard, then puts the page there as UTF-16 text and as "HTML Format".
  void Copy();
  void Print();

  std::string_view Title() const;
  std::string CopyMenuText() const;
  std::string PrintMenuText() const;
  // The page as last built (UTF-8).
  const std::string& text() const noexcept { return text_; }

 private:
  void Refresh();
  ReportPlace Place() const;
  std::string PositionText(TickPosition position) const;

  Document& document_;
  ComPtr<Document> keepDocument_;
  ComPtr<IHtmlView> page_;
  ComPtr<IClipboard> clipboard_;
  ComPtr<IDisplayPreferences> display_;
  std::string text_;
  bool observing_ = false;
};

}  // namespace HRV
