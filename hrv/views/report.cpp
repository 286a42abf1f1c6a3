// SPDX-License-Identifier: MIT
#include "hrv/views/report.h"

#include <cmath>
#include <cstdio>

#include <boost/format.hpp>

#include "hrv/engine/statistics.h"
#include "hrv/resources/string_table.h"
#include "hrv/views/report_format.h"
#include "hrv/views/report_template.h"

namespace HRV {

namespace {

constexpr std::uint32_t kTooFewBeatsText = 12;
constexpr std::uint32_t kNoAnalysisText = 13;

// Host texts go into the page as text, never as markup.
std::string html_text(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string build_report(const AnalysisResults& r, const SettingsFields& settings, const ReportPlace& place) {
  if (!settings.region_set()) return std::string(LoadString(kNoAnalysisText));
  if (r.rrSeries.size() < kReportMinimumBeats) return std::string(LoadString(kTooFewBeatsText));

  const PowerSpectrum& p = r.spectrum();
  // A value in its format, or "n/a" with the reason results.json gives for it.
  auto cell = [&](double x, Needs needs, std::string shown) {
    return std::isfinite(x) ? shown : "n/a (" + html_text(WhyUndefined(r, needs)) + ")";
  };
  const auto seconds = [](double x) { return Eng4(x, "s"); };
  std::string warnings;
  for (const std::string& w : Warnings(r)) warnings += "<p class=\"warning\">Warning: " + html_text(w) + "</p>";
  boost::format page{std::string(report_template())};
  // General: the region's records are numbered from 0, as in results.json and beats.csv.
  page % html_text(place.documentName) % place.startRecord % html_text(place.startTime) % place.endRecord %
      html_text(place.endTime) % TotalBeats(r) % NormalBeats(r) % EctopicBeats(r);
  // Time domain; the threshold titles its row in ms ("pRR50").
  page % cell(MeanRR(r), Needs::OneBeat, seconds(MeanRR(r))) % cell(MedianRR(r), Needs::OneBeat, seconds(MedianRR(r))) %
      cell(SDRR(r), Needs::TwoBeats, seconds(SDRR(r))) % cell(SDARR(r), Needs::TwoSdarrGroups, seconds(SDARR(r))) %
      cell(CVRR(r), Needs::TwoBeats, Eng4(CVRR(r), "")) % cell(MeanRate(r), Needs::OneBeat, Sig4(MeanRate(r), "BPM")) %
      cell(SDRate(r), Needs::TwoBeats, Sig4(SDRate(r), "BPM")) % cell(SDSD(r), Needs::TwoBeats, seconds(SDSD(r))) %
      cell(RMSSD(r), Needs::TwoBeats, seconds(RMSSD(r))) % Eng4(r.threshold * 1000.0, "") %
      cell(PRRx(r), Needs::TwoBeats, Sig4(PRRx(r), "%"));
  // Frequency domain: the band edges as set, the powers in ms2 (the unit's ASCII spelling,
  // as the summary and the tables write it, with the 2 raised).
  page % Sig4(settings.VLFLowHz) % Sig4(settings.VLFHighHz, "Hz") % Sig4(settings.LFLowHz) %
      Sig4(settings.LFHighHz, "Hz") % Sig4(settings.HFLowHz) % Sig4(settings.HFHighHz, "Hz") % "ms<sup>2</sup>";
  auto power = [&](double x) { return cell(HasSpectrum(r) ? x : kUndefinedStatistic, Needs::Spectrum, Sig4Micro(x)); };
  auto share = [&](double x, std::string shown) {
    return cell(HasSpectrum(r) ? x : kUndefinedStatistic, Needs::PowerDenominator, std::move(shown));
  };
  page % power(p.totalPower) % power(p.vlfPower) % share(VLFPercent(p), Eng4(VLFPercent(p), "")) % power(p.lfPower) %
      share(LFPercent(p), Eng4(LFPercent(p), "")) % share(LFnu(p), Eng4(LFnu(p), "")) % power(p.hfPower) %
      share(HFPercent(p), Eng4(HFPercent(p), "")) % share(HFnu(p), Eng4(HFnu(p), "")) % share(LFHFRatio(p), Sig4(LFHFRatio(p)));
  // Nonlinear.
  page % cell(SD1(r), Needs::TwoBeats, seconds(SD1(r))) % cell(SD2(r), Needs::SD2Variance, seconds(SD2(r)));
  page % warnings;
  return page.str();
}

std::vector<std::uint8_t> unicode_clipboard_bytes(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * text.size() + 2);
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.insert(out.end(), {0, 0});
  return out;
}

std::vector<std::uint8_t> html_clipboard_bytes(std::string_view utf8Report) {
  std::string text =
      "Version:0.9\r\nStartHTML:00000000\r\nEndHTML:00000000\r\nStartFragment:00000000\r\nEndFragment:00000000\r\n"
      "<html><body>\r\n<!--StartFragment -->\r\n";
  text.reserve(text.size() + utf8Report.size() + 64);
  text.append(utf8Report);
  text += "\r\n<!--EndFragment-->\r\n</body>\r\n</html>";

  // Each field's eight digits are overwritten in place; the CR after them stays.
  auto set_field = [&](std::string_view name, std::size_t value) {
    const std::size_t at = text.find(name) + name.size();
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08u", static_cast<unsigned>(value));
    text.replace(at, 8, digits, 8);
  };
  const std::size_t startHtml = text.find("<html>");
  const std::size_t startFragment = text.find("<!--StartFrag");
  const std::size_t endFragment = text.find("<!--EndFrag");
  set_field("StartHTML:", startHtml);
  set_field("EndHTML:", text.size());
  set_field("StartFragment:", startFragment);
  set_field("EndFragment:", endFragment);

  // The terminating zero, then the three spare zero bytes of the block it is copied into.
  std::vector<std::uint8_t> out(text.begin(), text.end());
  out.resize(out.size() + 4, 0);
  return out;
}

}  // namespace HRV
