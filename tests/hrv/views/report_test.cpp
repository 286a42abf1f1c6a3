// SPDX-License-Identifier: MIT
#include "hrv/views/report.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "document_fixture.h"
#include "hrv/core/analysis_export.h"
#include "hrv/resources/string_table.h"
#include "hrv/views/report_format.h"
#include "hrv/views/report_template.h"
#include "sdk/cpp/utf.h"

namespace report_test {
namespace {

// ---- Value formats ----

TEST(ReportFormat, ValuesWithFourSignificantDigitsAndTheirPrefixes) {
  const std::pair<std::string, std::string> cases[] = {
      // Eng4 picks the prefix that leaves a mantissa from 1 to 1000; 0 and NaN show a zero.
      {HRV::Eng4(0.8123, "s"), "812.3 ms"}, {HRV::Eng4(0.00123, "s"), "1.23 ms"}, {HRV::Eng4(0.000123, "s"), "123 \u00b5s"},
      {HRV::Eng4(1.5, "s"), "1.5 s"}, {HRV::Eng4(1234.0, "s"), "1.234 ks"}, {HRV::Eng4(-0.0005, "s"), "-500 \u00b5s"},
      {HRV::Eng4(0.03456789, "s"), "34.57 ms"}, {HRV::Eng4(0.0, "s"), "0 s"}, {HRV::Eng4(std::nan(""), "s"), "0 s"},
      // Without a unit there is no prefix either.
      {HRV::Eng4(0.05 * 1000.0, ""), "50"}, {HRV::Eng4(0.0123456, ""), "0.01235"},
      {HRV::Sig4(1.2 * 60.0, "BPM"), "72 BPM"}, {HRV::Sig4(12.3456, "%"), "12.35 %"}, {HRV::Sig4(0.04), "0.04"},
      {HRV::Sig4Micro(0.001234), "1234"}, {HRV::Sig4Micro(0.0000123456), "12.35"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

// ---- The template resource ----

TEST(ReportTemplate, IsAsciiWithCrLfLineEndsAndEveryPercentSignIsAPlaceholderOrDoubled) {
  const std::string page(HRV::report_template());
  EXPECT_EQ(page.substr(0, 17), "<!DOCTYPE HTML>\r\n");
  EXPECT_EQ(page.substr(page.size() - 2), "\r\n");
  EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  long lineEnds = 0;
  for (std::size_t i = page.find("\r\n"); i != std::string::npos; i = page.find("\r\n", i + 2)) ++lineEnds;
  EXPECT_EQ(std::count(page.begin(), page.end(), '\r'), lineEnds) << "a bare CR";
  EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), lineEnds) << "a bare LF";
  std::set<int> placeholders;
  int literal = 0;
  for (std::size_t i = page.find('%'); i != std::string::npos; i = page.find('%', i)) {
    const std::size_t close = page.find('%', i + 1);
    ASSERT_NE(close, std::string::npos) << "unpaired % at byte " << i;
    const std::string inside = page.substr(i + 1, close - i - 1);
    ASSERT_EQ(inside.find_first_not_of("0123456789"), std::string::npos) << "not a placeholder: " << inside;
    if (inside.empty()) ++literal; else placeholders.insert(std::stoi(inside));
    i = close + 1;
  }
  EXPECT_EQ(placeholders.size(), 39u);
  EXPECT_EQ(*placeholders.begin() + *placeholders.rbegin(), 1 + 39) << "placeholders %1% to %39%";
  EXPECT_GE(literal, 1) << "the power column's title is Power(%%)";
}

// ---- Building the report ----

// The value cells of the row whose title cell is `title`.
std::vector<std::string> row(const std::string& page, const std::string& title) {
  std::vector<std::string> cells;
  const std::size_t at = page.find("<td>" + title + "</td>");
  if (at == std::string::npos) return cells;
  const std::size_t end = page.find("</tr>", at);
  const std::string value = "<td class=\"value\">";
  for (std::size_t i = page.find(value, at); i < end; i = page.find(value, i)) {
    i += value.size();
    cells.push_back(page.substr(i, page.find("</td>", i) - i));
  }
  return cells;
}

class ReportTest : public document_test::DocumentTest {
 protected:
  HRV::ReportPlace place() const { return {"fake", 1, "0 s", 2, "60 s"}; }
};

TEST_F(ReportTest, WithoutAnAnalysisOrWithTwoBeatsThePageIsAMessage) {
  EXPECT_EQ(HRV::build_report(doc().results(), doc().settings(), place()),
            "The report is unavailable as HRV has not been analyzed.");
  add_varied_beats(4);  // the first beat has no delta-RR, so 3 are included
  analyse_whole_channel();
  EXPECT_EQ(HRV::build_report(doc().results(), doc().settings(), place()).substr(0, 15), "<!DOCTYPE HTML>");
  host->beats.resize(3);
  analyse_whole_channel();
  EXPECT_EQ(HRV::build_report(doc().results(), doc().settings(), place()),
            "The report is unavailable as there are not enough beats to analyze.");
}

TEST_F(ReportTest, ValuesAreThoseOfResultsJsonInTheirFormats) {
  add_varied_beats(200, 17);  // a few ectopic beats
  analyse_whole_channel();
  const std::string page = HRV::build_report(doc().results(), doc().settings(), {"Run <7>", 0, "0.000 s", 1, "120.000 s"});
  const auto json = nlohmann::json::parse(HRV::results_json(doc()));
  const auto& td = json["time_domain"];
  const auto& f = json["frequency"];
  const auto& b = json["beats"];
  ASSERT_GT(b["total"].get<int>(), 100);
  ASSERT_GT(b["ectopic"].get<int>(), 0);

  EXPECT_NE(page.find("<title>Run &lt;7&gt;</title>"), std::string::npos);
  EXPECT_EQ(row(page, "Analysis Start"), (std::vector<std::string>{"Record 0, 0.000 s"}));
  EXPECT_EQ(row(page, "Analysis End"), (std::vector<std::string>{"Record 1, 120.000 s"}));
  EXPECT_EQ(row(page, "Total Included Beats")[0], std::to_string(b["total"].get<int>()));
  EXPECT_EQ(row(page, "Included Normal Beats")[0], std::to_string(b["normal"].get<int>()));
  EXPECT_EQ(row(page, "Included Ectopic Beats")[0], std::to_string(b["ectopic"].get<int>()));

  auto seconds = [&](const char* key) { return HRV::Eng4(td[key].get<double>(), "s"); };
  EXPECT_EQ(row(page, "Average RR")[0], seconds("mean_rr_s"));
  EXPECT_EQ(row(page, "Median RR")[0], seconds("median_rr_s"));
  EXPECT_EQ(row(page, "SDRR")[0], seconds("sdrr_s"));
  EXPECT_EQ(row(page, "CVRR")[0], HRV::Eng4(td["cvrr"].get<double>(), ""));
  EXPECT_EQ(row(page, "Average Rate")[0], HRV::Sig4(td["mean_rate_bpm"].get<double>(), "BPM"));
  EXPECT_EQ(row(page, "SD Rate")[0], HRV::Sig4(td["sd_rate_bpm"].get<double>(), "BPM"));
  EXPECT_EQ(row(page, "SDSD")[0], seconds("sdsd_s"));
  EXPECT_EQ(row(page, "RMSSD")[0], seconds("rmssd_s"));
  EXPECT_EQ(row(page, "pRR50")[0], HRV::Sig4(td["prrx_pct"].get<double>(), "%"));
  EXPECT_EQ(row(page, "SD1")[0], HRV::Eng4(json["nonlinear"]["sd1_s"].get<double>(), "s"));
  EXPECT_EQ(row(page, "SD2")[0], HRV::Eng4(json["nonlinear"]["sd2_s"].get<double>(), "s"));

  EXPECT_EQ(row(page, "VLF Band"), (std::vector<std::string>{"0 - 0.04 Hz"}));
  EXPECT_EQ(row(page, "LF Band"), (std::vector<std::string>{"0.04 - 0.15 Hz"}));
  EXPECT_EQ(row(page, "HF Band"), (std::vector<std::string>{"0.15 - 0.45 Hz"}));
  EXPECT_NE(page.find("Power(ms<sup>2</sup>)"), std::string::npos);
  EXPECT_NE(page.find("Power(%)"), std::string::npos);
  auto number = [&](const char* key) { return f[key].get<double>(); };
  EXPECT_EQ(row(page, "Total"), (std::vector<std::string>{HRV::Sig4Micro(number("total_power_s2"))}));
  EXPECT_EQ(row(page, "VLF"), (std::vector<std::string>{HRV::Sig4Micro(number("vlf_power_s2")),
                                                         HRV::Eng4(number("vlf_pct"), "")}));
  EXPECT_EQ(row(page, "LF"), (std::vector<std::string>{HRV::Sig4Micro(number("lf_power_s2")),
                                                        HRV::Eng4(number("lf_pct"), ""), HRV::Eng4(number("lf_nu"), "")}));
  EXPECT_EQ(row(page, "HF"), (std::vector<std::string>{HRV::Sig4Micro(number("hf_power_s2")),
                                                        HRV::Eng4(number("hf_pct"), ""), HRV::Eng4(number("hf_nu"), "")}));
  EXPECT_EQ(row(page, "LF/HF"), (std::vector<std::string>{HRV::Sig4(number("lf_hf"))}));
  EXPECT_EQ(page.find('%' + std::string("1%")), std::string::npos) << "a placeholder was left unfilled";
}

TEST_F(ReportTest, UndefinedValuesAndWarningsSayWhyAsResultsJsonDoes) {
  add_varied_beats(40);  // 32 s of beats in a region of 120 s, less than two SDARR periods
  analyse_whole_channel();
  const std::string page = HRV::build_report(doc().results(), doc().settings(), place());
  const auto json = nlohmann::json::parse(HRV::results_json(doc()));
  ASSERT_TRUE(json["time_domain"]["sdarr_s"].is_null());
  EXPECT_EQ(row(page, "SDARR")[0], "n/a (" + json["undefined"]["sdarr_s"].get<std::string>() + ")");
  ASSERT_EQ(json["warnings"].size(), 1u);
  EXPECT_NE(page.find("Warning: " + json["warnings"][0].get<std::string>()), std::string::npos) << page;
}

TEST_F(ReportTest, ThePRRRowIsTitledByTheThresholdInMilliseconds) {
  add_varied_beats(200);
  doc().settings().PRRThresholdSec = 0.02;
  analyse_whole_channel();
  EXPECT_FALSE(row(HRV::build_report(doc().results(), doc().settings(), place()), "pRR20").empty());
}

// ---- Clipboard forms ----

// The eight-digit number after `field` in the header.
std::size_t header_field(const std::string& text, const std::string& field) {
  const std::size_t at = text.find(field + ":");
  EXPECT_NE(at, std::string::npos) << field;
  const std::string digits = text.substr(at + field.size() + 1, 8);
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << field << " = " << digits;
  EXPECT_EQ(text.substr(at + field.size() + 9, 2), "\r\n") << field;
  return std::stoul(digits);
}

TEST(ReportClipboard, HtmlFormatHeaderOffsetsPointWhereTheyShould) {
  const std::string report = "<!DOCTYPE HTML>\r\n<html lang=\"en\"><body>72 BPM, 123 \u00b5s</body></html>\r\n";
  const std::vector<std::uint8_t> bytes = HRV::html_clipboard_bytes(report);
  ASSERT_GE(bytes.size(), 4u);
  // The text, its terminating zero and three spare zero bytes.
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<std::uint8_t>{0, 0, 0, 0}));
  const std::string text(reinterpret_cast<const char*>(bytes.data()));
  ASSERT_EQ(text.size(), bytes.size() - 4);

  EXPECT_EQ(text.substr(0, 13), "Version:0.9\r\n");
  const std::size_t startHtml = header_field(text, "StartHTML");
  const std::size_t endHtml = header_field(text, "EndHTML");
  const std::size_t startFragment = header_field(text, "StartFragment");
  const std::size_t endFragment = header_field(text, "EndFragment");
  EXPECT_EQ(text.substr(startHtml, 12), "<html><body>");
  EXPECT_EQ(endHtml, text.size());
  EXPECT_EQ(text.substr(startFragment, 22), "<!--StartFragment -->\r");
  EXPECT_EQ(text.substr(endFragment, 18), "<!--EndFragment-->");
  // The report lies whole inside the fragment, UTF-8 encoded.
  const std::size_t reportAt = text.find(report);
  ASSERT_NE(reportAt, std::string::npos);
  EXPECT_GT(reportAt, startFragment);
  EXPECT_LT(reportAt + report.size(), endFragment);
  EXPECT_EQ(text.substr(text.size() - 7), "</html>");
}

TEST(ReportClipboard, UnicodeTextIsLittleEndianUtf16WithItsTerminator) {
  const std::u16string text = u"123 \u00b5s\r\n";
  const std::vector<std::uint8_t> bytes = HRV::unicode_clipboard_bytes(text);
  ASSERT_EQ(bytes.size(), 2 * text.size() + 2);
  std::u16string decoded;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) decoded.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
  EXPECT_EQ(decoded, text + u'\0');
}

}  // namespace
}  // namespace report_test
