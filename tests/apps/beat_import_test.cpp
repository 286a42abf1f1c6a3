// SPDX-License-Identifier: MIT
// Recordings that are beats already: an annotation-only record gives the statistics of its
// annotated beats, and an rr.txt the tool wrote gives back the statistics of its run.
#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "shared_data.h"

namespace {

// Beat times in seconds from a WFDB annotation file, read here without the host's reader:
// 16-bit words, code = word >> 10, time increment = word & 0x3FF; SKIP (59) carries a
// 32-bit increment (high half first), AUX (63) skips its text, NUM/SUB/CHN (60-62) carry
// nothing else; codes 1-13, 25, 30, 31, 34, 35, 38 and 41 are beats.
std::vector<double> annotated_beats(const std::filesystem::path& file, double rateHz) {
  const std::string bytes = cli::read_file(file);
  auto word = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) | static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8; };
  std::vector<double> times;
  long long t = 0;
  for (std::size_t i = 0; i + 1 < bytes.size();) {
    const unsigned w = word(i), code = w >> 10, value = w & 0x3FF;
    i += 2;
    if (code == 0 && value == 0) break;
    if (code == 59) {
      t += static_cast<std::int32_t>(word(i) << 16 | word(i + 2));
      i += 4;
    } else if (code == 63) {
      i += value + (value & 1);
    } else if (code < 59) {
      t += value;
      if ((code >= 1 && code <= 13) || code == 25 || code == 30 || code == 31 || code == 34 || code == 35 || code == 38 || code == 41)
        times.push_back(t / rateHz);
    }
  }
  return times;
}

struct Statistics {
  double n, mean, sdrr, rmssd;
  double over, ties;  // differences beyond 50 ms, and of exactly 50 ms, in whole microseconds
};

// Textbook statistics of intervals whose difference from the interval before is known:
// all but the first of `rr`.
Statistics statistics_of(const std::vector<double>& rr) {
  Statistics s{static_cast<double>(rr.size() - 1), 0, 0, 0, 0, 0};
  for (std::size_t i = 1; i < rr.size(); ++i) s.mean += rr[i] / s.n;
  double squares = 0, deltas = 0;
  for (std::size_t i = 1; i < rr.size(); ++i) {
    squares += (rr[i] - s.mean) * (rr[i] - s.mean);
    const double d = rr[i] - rr[i - 1];
    deltas += d * d;
    const double microseconds = std::round(std::abs(d) * 1e6);
    s.over += microseconds > 50000;
    s.ties += microseconds == 50000;
  }
  s.sdrr = std::sqrt(squares / (s.n - 1));
  s.rmssd = std::sqrt(deltas / s.n);
  return s;
}

void expect_results(const nlohmann::json& results, const Statistics& s, double tolerance) {
  const auto& t = results["time_domain"];
  EXPECT_EQ(results["beats"]["total"].get<double>(), s.n);
  EXPECT_NEAR(t["mean_rr_s"].get<double>(), s.mean, tolerance);
  EXPECT_NEAR(t["sdrr_s"].get<double>(), s.sdrr, tolerance);
  EXPECT_NEAR(t["rmssd_s"].get<double>(), s.rmssd, tolerance);
  // A difference of exactly 50 ms may come out a rounding error either side of it.
  EXPECT_NEAR(t["prrx_pct"].get<double>() * s.n / 100.0, s.over, s.ties + 1e-6);
}

nlohmann::json analyze(const std::filesystem::path& input, const std::filesystem::path& out, std::string* printed = nullptr) {
  // A box around every interval, so that every beat with a difference is analysed.
  std::ofstream(out / "settings.json") << R"({"MinRR": 0, "MaxRR": 60, "MinFF": 0, "MaxFF": 10})";
  const auto run = cli::run("analyze '" + input.string() + "' --out '" + out.string() + "' --settings '" + (out / "settings.json").string() + "'");
  EXPECT_EQ(run.status, 0) << run.output;
  if (printed) *printed = run.output;
  return nlohmann::json::parse(cli::read_file(out / "results.json"));
}

TEST(BeatImport, AnAnnotationOnlyRecordGivesTheStatisticsOfItsAnnotatedBeats) {
  HRV_REQUIRE_SHARED(record, "rr24h/nsr001.hea");
  const auto out = cli::fresh_folder("nsr001");
  std::string printed;
  const auto results = analyze(record, out, &printed);
  EXPECT_NE(printed.find("imported beats (no detection)"), std::string::npos) << printed;
  EXPECT_EQ(results["input"], "beats");
  const auto times = annotated_beats(std::filesystem::path(record).replace_extension(".ecg"), 128.0);
  ASSERT_GT(times.size(), 100000u);
  EXPECT_EQ(results["beats"]["detected"].get<std::size_t>(), times.size());
  std::vector<double> rr;
  for (std::size_t i = 1; i < times.size(); ++i) rr.push_back(times[i] - times[i - 1]);
  expect_results(results, statistics_of(rr), 1e-9);
}

TEST(BeatImport, TheToolsRRExportReadBackGivesTheStatisticsOfItsRun) {
  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("rr-written");
  const auto written = analyze(record, out);
  const auto back = cli::fresh_folder("rr-read-back");
  const auto read = analyze(out / "rr.txt", back);
  EXPECT_EQ(read["input"], "beats");
  // Exactly the statistics of the intervals in the file (6 significant digits, read on a
  // microsecond clock), all but the first, which has no interval before it ...
  std::vector<double> rr;
  std::istringstream lines(cli::read_file(out / "rr.txt"));
  for (double v; lines >> v;) rr.push_back(v);
  ASSERT_EQ(rr.size(), written["beats"]["total"].get<std::size_t>());
  expect_results(read, statistics_of(rr), 1e-9);
  // ... which are those of the run that wrote it but for that one interval of 2,271 and the
  // rounding to 6 digits: within 0.05 ms. pRR50 is left out: the written run's differences
  // of exactly 50 ms (18 samples) come back as exactly 50 ms on the list's clock.
  for (const char* key : {"mean_rr_s", "median_rr_s", "sdrr_s", "sdsd_s", "rmssd_s"})
    EXPECT_NEAR(read["time_domain"][key].get<double>(), written["time_domain"][key].get<double>(), 5e-5) << key;
}

}  // namespace
