// SPDX-License-Identifier: MIT
// The report: every result of an analysis on one HTML page, filled into the template with
// positional formatting, and the two forms in which it goes to the clipboard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hrv/core/analysis_results.h"
#include "hrv/core/settings_fields.h"

namespace HRV {

// What the host says about the analysed data: its document name and the region's ends as
// record numbers (from 0, as results.json numbers them) with the host's time text of each.
struct ReportPlace {
  std::string documentName;
  std::int32_t startRecord = 0;
  std::string startTime;
  std::int32_t endRecord = 0;
  std::string endTime;
};

// Fewer included RR intervals than this leave nothing worth reporting.
inline constexpr std::size_t kReportMinimumBeats = 3;

// The report page (UTF-8): the filled template; or, alone, the message that no analysis
// exists (region unset) or that it has too few beats.
std::string build_report(const AnalysisResults& results, const SettingsFields& settings, const ReportPlace& place);

// The report as UTF-16 text with its terminating zero, as bytes (little-endian).
std::vector<std::uint8_t> unicode_clipboard_bytes(std::u16string_view text);

// The report in the clipboard's "HTML Format": a "Version:0.9" header whose StartHTML,
// EndHTML, StartFragment and EndFragment fields give byte offsets as eight decimal digits,
// then "<html><body>", the fragment comments around the UTF-8 report, and the closing tags;
// the text is followed by four zero bytes, the first of them its terminator.
std::vector<std::uint8_t> html_clipboard_bytes(std::string_view utf8Report);

}  // namespace HRV
