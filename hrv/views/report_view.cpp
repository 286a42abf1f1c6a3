// SPDX-License-Identifier: MIT
#include "hrv/views/report_view.h"

#include <cstdio>

#include "hrv/resources/string_table.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace HRV {

namespace {

constexpr std::uint32_t kTitleText = 9;
constexpr std::uint32_t kCopyText = 10;
constexpr std::uint32_t kPrintText = 11;

}  // namespace

ReportView::ReportView(Document& document) : document_(document), keepDocument_(ComPtr<Document>::retain(&document)) {}

ReportView::~ReportView() { Close(); }

void ReportView::SetUp(IHtmlView* page, IClipboard* clipboard, IDisplayPreferences* display) {
  page_ = ComPtr<IHtmlView>::retain(page);
  clipboard_ = ComPtr<IClipboard>::retain(clipboard);
  display_ = ComPtr<IDisplayPreferences>::retain(display);
  document_.add_observer(this);
  observing_ = true;
  Refresh();
}

void ReportView::Close() {
  if (observing_) document_.remove_observer(this);
  observing_ = false;
  if (page_) page_->Close();
  page_.reset();
  clipboard_.reset();
  display_.reset();
}

void ReportView::OnDataNotification(std::uint16_t number) {
  if (number == 2 || number == 8) Refresh();
}

void ReportView::Copy() {
  if (!clipboard_) return;
  const std::vector<std::uint8_t> unicode = unicode_clipboard_bytes(utf8_to_utf16(text_));
  const std::vector<std::uint8_t> html = html_clipboard_bytes(text_);
  check_hresult(clipboard_->Empty(), "the clipboard could not be emptied");
  check_hresult(clipboard_->SetData(kClipboardUnicodeText, unicode.data(), static_cast<ULONG>(unicode.size())),
                "the clipboard refused the report's text");
  check_hresult(clipboard_->SetData(kClipboardHtml, html.data(), static_cast<ULONG>(html.size())),
                "the clipboard refused the report's HTML");
}

void ReportView::Print() {
  if (page_) check_hresult(page_->Print(), "the report page did not print");
}

std::string_view ReportView::Title() const { return LoadString(kTitleText); }
std::string ReportView::CopyMenuText() const { return std::string(LoadString(kCopyText)); }
std::string ReportView::PrintMenuText() const { return std::string(LoadString(kPrintText)); }

void ReportView::Refresh() {
  text_ = build_report(document_.results(), document_.settings(), Place());
  if (page_) check_hresult(page_->SetHtml(utf8_to_utf16(text_).c_str()), "the report page refused the report");
}

ReportPlace ReportView::Place() const {
  ReportPlace place;
  const Settings& s = document_.settings();
  if (!s.region_set()) return place;
  IDocumentData* data = document_.document_data();
  Bstr name;
  if (data && data->GetDocumentName(name.put()) == S_OK) place.documentName = name.utf8();
  TickPosition end = s.region_end();
  // A region still open while sampling ends where the recorded data end now.
  if (end.tick == TickPosition::kUnset && data) data->GetEndOfData(&end);
  place.startRecord = s.StartRecord;
  place.startTime = PositionText(s.region_start());
  place.endRecord = end.record;
  place.endTime = PositionText(end);
  return place;
}

std::string ReportView::PositionText(TickPosition position) const {
  IDocumentData* data = document_.document_data();
  Bstr text;
  if (display_ && display_->FormatPosition(data, position, text.put()) == S_OK && text.get()) return text.utf8();
  // Seconds on the document's time axis, as the source channel places the tick.
  const Settings& s = document_.settings();
  double start = 0.0, dt = 0.0;
  if (!data || data->GetRecordStartTime(position.record, &start) != S_OK ||
      data->GetSampleInterval(position.record, ChannelId{s.SourceChannel, s.SourceKind}.for_data(), &dt) != S_OK)
    return {};
  char out[48];
  std::snprintf(out, sizeof out, "%.3f s", start + position.tick * dt);
  return out;
}

}  // namespace HRV
