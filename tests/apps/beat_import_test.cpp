// SPDX-License-Identifier: MIT
// Recordings that are beats already: an annotation-only record gives the statistics of its
// annotated beats, and an rr.txt the tool wrote gives back the statistics of its run.
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "korvel/io/wfdb_annotations.h"
#include "shared_data.h"

namespace {

// results.json of an analysis in which every beat with a difference counts (a box around
// every interval), checked against textbook statistics of all but the first of `rr` (s):
// SDRR over n - 1, RMSSD over n, pRR50 strict in whole microseconds, where a difference of
// exactly 50 ms may come out a rounding error either side.
nlohmann::json analyze_and_check(const std::filesystem::path& input, const std::filesystem::path& out, const std::vector<double>& rr) {
  std::ofstream(out / "settings.json") << R"({"MinRR": 0, "MaxRR": 60, "MinFF": 0, "MaxFF": 10})";
  const auto run = cli::run("analyze '" + input.string() + "' --out '" + out.string() + "' --settings '" + (out / "settings.json").string() + "'");
  EXPECT_EQ(run.status, 0) << run.output;
  const auto r = nlohmann::json::parse(cli::read_file(out / "results.json"));
  if (rr.empty()) return r;
  const double n = static_cast<double>(rr.size() - 1);
  double mean = 0, squares = 0, deltas = 0, over = 0, ties = 0;
  for (std::size_t i = 1; i < rr.size(); ++i) mean += rr[i] / n;
  for (std::size_t i = 1; i < rr.size(); ++i) {
    const double d = rr[i] - rr[i - 1], us = std::round(std::abs(d) * 1e6);
    squares += (rr[i] - mean) * (rr[i] - mean);
    deltas += d * d;
    over += us > 50000;
    ties += us == 50000;
  }
  const auto& t = r["time_domain"];
  EXPECT_EQ(r["input"], "beats");
  EXPECT_EQ(r["beats"]["total"].get<double>(), n);
  EXPECT_NEAR(t["mean_rr_s"].get<double>(), mean, 1e-9);
  EXPECT_NEAR(t["sdrr_s"].get<double>(), std::sqrt(squares / (n - 1)), 1e-9);
  EXPECT_NEAR(t["rmssd_s"].get<double>(), std::sqrt(deltas / n), 1e-9);
  EXPECT_NEAR(t["prrx_pct"].get<double>() * n / 100.0, over, ties + 1e-6);
  return r;
}

TEST(BeatImport, AnAnnotationOnlyRecordGivesTheStatisticsOfItsAnnotatedBeats) {
  HRV_REQUIRE_SHARED(record, "rr24h/nsr001.hea");
  const auto set = korvel::io::read_wfdb_annotations(std::filesystem::path(record).replace_extension(".ecg"));
  const auto beats = korvel::io::beat_annotations(set.annotations);
  std::vector<double> rr;
  for (std::size_t i = 1; i < beats.size(); ++i) rr.push_back((beats[i].time - beats[i - 1].time) / set.time_base_hz);
  ASSERT_GT(rr.size(), 100000u);
  const auto results = analyze_and_check(record, cli::fresh_folder("nsr001"), rr);
  EXPECT_EQ(results["beats"]["detected"].get<std::size_t>(), beats.size());
}

TEST(BeatImport, TheToolsRRExportReadBackGivesTheStatisticsOfItsRun) {
  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("rr-written");
  const auto written = analyze_and_check(record, out, {});
  std::vector<double> rr;
  std::istringstream lines(cli::read_file(out / "rr.txt"));
  for (double v; lines >> v;) rr.push_back(v);
  ASSERT_EQ(rr.size(), written["beats"]["total"].get<std::size_t>());
  // Exactly the statistics of the file's intervals but the first, which has no interval
  // before it; so those of the run that wrote it but for that one of 2,271: within 0.05 ms.
  const auto read = analyze_and_check(out / "rr.txt", cli::fresh_folder("rr-read"), rr);
  for (const char* key : {"mean_rr_s", "median_rr_s", "sdrr_s", "sdsd_s", "rmssd_s"})
    EXPECT_NEAR(read["time_domain"][key].get<double>(), written["time_domain"][key].get<double>(), 5e-5) << key;
}

}  // namespace
