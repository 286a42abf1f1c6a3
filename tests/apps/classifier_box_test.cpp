// SPDX-License-Identifier: MIT
// What the tool says about the classifier box: results.json's counts agree with beats.csv's
// classes, the summary names the preset and the box and warns when many beats are left
// out, and the automatic box is shown and kept like any box.
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "shared_data.h"

namespace {

// Runs analyze into `out`; what it printed, results.json and beats.csv's (flags, class) rows.
std::tuple<std::string, nlohmann::json, std::vector<std::pair<unsigned, std::string>>> analyze(
    const std::filesystem::path& record, const std::filesystem::path& out, const std::string& options) {
  const auto run = cli::run("analyze '" + record.string() + "' --out '" + out.string() + "' " + options);
  EXPECT_EQ(run.status, 0) << run.output;
  std::istringstream in(cli::read_file(out / "beats.csv"));
  std::vector<std::pair<unsigned, std::string>> rows;
  std::string line;
  for (std::getline(in, line); std::getline(in, line);) {  // the last two cells: flags, class
    const std::size_t last = line.rfind(','), flags = line.rfind(',', last - 1);
    rows.emplace_back(std::stoul(line.substr(flags + 1, last - flags - 1), nullptr, 16), line.substr(last + 1));
  }
  return {run.output, nlohmann::json::parse(cli::read_file(out / "results.json")), rows};
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
  const auto [printed, results, rows] = analyze(record, cli::fresh_folder("box-counts"), "");
  std::map<std::string, std::size_t> n;
  for (const auto& [flags, kind] : rows) {
    ++n[kind];
    n["rr"] += kind == "Ectopic" && (flags & 1);
    n["ff"] += kind == "Ectopic" && (flags & 2);
  }
  const auto& b = results["beats"];
  EXPECT_EQ(b["total"].get<std::size_t>() + b["excluded"].get<std::size_t>(), rows.size());
  EXPECT_EQ(b["detected"].get<std::size_t>(), rows.size());
  EXPECT_EQ(std::tuple(b["normal"].get<std::size_t>(), b["ectopic"].get<std::size_t>(), b["outside_rr"].get<std::size_t>(),
                       b["outside_ff"].get<std::size_t>()),
            std::tuple(n["Normal"], n["Ectopic"], n["rr"], n["ff"]));
  EXPECT_EQ(b["excluded"].get<int>(), 1506);  // the Human box keeps 767 of 2,273 beats
  for (const std::string& said : {"preset Human, classifier box " + box_of(results),
                                  "1506 excluded; " + std::to_string(n["Ectopic"]) + " ectopic",
                                  std::string("warning: 1506 of 2273 detected beats"), std::string("--box auto")})
    EXPECT_NE(printed.find(said), std::string::npos) << said << " in\n" << printed;
}

// The figures of the automatic box against the reference annotations are checked by
// scripts/evaluate_box.py (the test korvel_hrv_auto_box_figures).
TEST(ClassifierBox, AutomaticBoxIsShownAndStoredInTheDocumentLikeAnyBox) {
  HRV_REQUIRE_SHARED(record, "mitdb/106.hea");
  const auto out = cli::fresh_folder("box-auto");
  const auto [printed, results, rows] = analyze(record, out, "--box auto");
  const std::string fitted = box_of(results);
  EXPECT_NE(fitted, "RR 0.800-1.200 s, FF 1.000-1.500") << "the Human box";
  EXPECT_NE(printed.find("classifier box " + fitted + " (fitted to this recording's beats)"), std::string::npos) << printed;
  ASSERT_EQ(cli::run("edit '" + (out / "document.korvel").string() + "' reanalyze").status, 0);
  EXPECT_EQ(box_of(nlohmann::json::parse(cli::read_file(out / "results.json"))), fitted);
  std::ofstream(out / "settings.json") << R"({"ClassifierBox": "auto"})";
  EXPECT_EQ(box_of(std::get<1>(analyze(record, out, "--settings '" + (out / "settings.json").string() + "'"))), fitted);
}

}  // namespace
