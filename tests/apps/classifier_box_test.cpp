// SPDX-License-Identifier: MIT
// What the tool says about the classifier box: the counts of results.json agree with the
// classes of beats.csv, the summary names the preset and the box and warns when many beats
// are left out, and the automatic box keeps the reference's normal beats and leaves its
// ventricular beats out.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "korvel/io/wfdb_annotations.h"
#include "shared_data.h"

namespace {

struct Row {
  double time;
  unsigned flags;
  std::string kind;  // the class column
};

std::vector<Row> read_rows(const std::filesystem::path& path) {
  std::istringstream in(cli::read_file(path));
  std::string line;
  std::getline(in, line);
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    std::string cell;
    while (std::getline(row, cell, ',')) cells.push_back(cell);
    if (cells.size() == 14) rows.push_back({std::stod(cells[3]), static_cast<unsigned>(std::stoul(cells[12], nullptr, 16)), cells[13]});
  }
  return rows;
}

nlohmann::json analyze(const std::filesystem::path& record, const std::filesystem::path& out, const std::string& options,
                       std::string* printed = nullptr) {
  const auto run = cli::run("analyze '" + record.string() + "' --out '" + out.string() + "' " + options);
  EXPECT_EQ(run.status, 0) << run.output;
  if (printed) *printed = run.output;
  return nlohmann::json::parse(cli::read_file(out / "results.json"));
}

std::string box_of(const nlohmann::json& results) {
  const auto& s = results["settings"];
  char text[96];
  std::snprintf(text, sizeof text, "RR %.3f-%.3f s, FF %.3f-%.3f", s["MinRR"].get<double>(), s["MaxRR"].get<double>(),
                s["MinFF"].get<double>(), s["MaxFF"].get<double>());
  return text;
}

TEST(ClassifierBox, CountsAgreeWithBeatsCsvAndTheSummaryWarnsAboutExcludedBeats) {
  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("box-counts");
  std::string printed;
  const auto results = analyze(record, out, "", &printed);
  const auto rows = read_rows(out / "beats.csv");
  std::map<std::string, std::size_t> classes;
  std::size_t outsideRR = 0, outsideFF = 0;
  for (const Row& r : rows) {
    ++classes[r.kind];
    outsideRR += r.kind == "Ectopic" && (r.flags & 1);
    outsideFF += r.kind == "Ectopic" && (r.flags & 2);
  }
  const auto& b = results["beats"];
  EXPECT_EQ(b["detected"].get<std::size_t>(), rows.size());
  EXPECT_EQ(b["total"].get<std::size_t>() + b["excluded"].get<std::size_t>(), rows.size());
  EXPECT_EQ(b["normal"].get<std::size_t>(), classes["Normal"]);
  EXPECT_EQ(b["ectopic"].get<std::size_t>(), classes["Ectopic"]);
  EXPECT_EQ(b["outside_rr"].get<std::size_t>(), outsideRR);
  EXPECT_EQ(b["outside_ff"].get<std::size_t>(), outsideFF);
  EXPECT_EQ(b["excluded"].get<int>(), 1506);  // the Human box keeps 767 of 2,273 beats
  EXPECT_NE(printed.find("preset Human, classifier box " + box_of(results)), std::string::npos) << printed;
  EXPECT_NE(printed.find("1506 excluded; " + std::to_string(classes["Ectopic"]) + " ectopic"), std::string::npos) << printed;
  EXPECT_NE(printed.find("warning: 1506 of 2273 detected beats"), std::string::npos) << printed;
  EXPECT_NE(printed.find("--box auto"), std::string::npos) << printed;
}

// The share of reference beats of three normal beats in a row that the analysis calls
// Normal, and of reference ventricular beats whose beat lies outside the box. Reference
// beats are matched to the nearest detected beat within 150 ms.
struct Figures {
  double normal;
  double ventricularOutside;
};

Figures figures(const std::vector<Row>& rows, const std::filesystem::path& annotations) {
  const auto set = korvel::io::read_wfdb_annotations(annotations);
  const auto beats = korvel::io::beat_annotations(set.annotations);
  auto matched = [&](const korvel::io::Annotation& a) -> const Row* {
    const double t = a.time / set.time_base_hz;
    const auto it = std::lower_bound(rows.begin(), rows.end(), t, [](const Row& r, double x) { return r.time < x; });
    const Row* best = nullptr;
    for (auto c : {it, it == rows.begin() ? it : it - 1})
      if (c != rows.end() && std::abs(c->time - t) <= 0.15 && (!best || std::abs(c->time - t) < std::abs(best->time - t)))
        best = &*c;
    return best;
  };
  std::size_t nn = 0, nnNormal = 0, v = 0, vOutside = 0;
  for (std::size_t i = 0; i < beats.size(); ++i) {
    const Row* row = matched(beats[i]);
    if (beats[i].code == 5) {
      ++v;
      vOutside += row && row->kind == "Ectopic";
    } else if (i >= 2 && beats[i].code == 1 && beats[i - 1].code == 1 && beats[i - 2].code == 1) {
      ++nn;
      nnNormal += row && row->kind == "Normal";
    }
  }
  return {static_cast<double>(nnNormal) / nn, v ? static_cast<double>(vOutside) / v : 1.0};
}

TEST(ClassifierBox, AutomaticBoxKeepsNormalBeatsLeavesVentricularBeatsOutAndIsStoredInTheDocument) {
  HRV_REQUIRE_SHARED(mitdb100, "mitdb/100.hea");
  HRV_REQUIRE_SHARED(mitdb106, "mitdb/106.hea");
  std::string fitted;
  for (const auto& record : {mitdb100, mitdb106}) {
    SCOPED_TRACE(record.string());
    const auto out = cli::fresh_folder("box-auto-" + record.stem().string());
    std::string printed;
    const auto results = analyze(record, out, "--box auto", &printed);
    fitted = box_of(results);
    EXPECT_NE(printed.find("classifier box " + fitted + " (fitted to this recording's beats)"), std::string::npos) << printed;
    const Figures f = figures(read_rows(out / "beats.csv"), std::filesystem::path(record).replace_extension(".atr"));
    EXPECT_GE(f.normal, 0.90);
    EXPECT_GE(f.ventricularOutside, 0.80);
    // The box is a setting of the document like any other: analysing the saved document
    // again keeps it.
    ASSERT_EQ(cli::run("edit '" + (out / "document.korvel").string() + "' reanalyze").status, 0);
    EXPECT_EQ(box_of(nlohmann::json::parse(cli::read_file(out / "results.json"))), fitted);
  }
  // A settings file asks for it by name.
  const auto out = cli::fresh_folder("box-auto-settings");
  std::ofstream(out / "settings.json") << R"({"ClassifierBox": "auto"})";
  EXPECT_EQ(box_of(analyze(mitdb106, out, "--settings '" + (out / "settings.json").string() + "'")), fitted);
}

}  // namespace
