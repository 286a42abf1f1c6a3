// SPDX-License-Identifier: MIT
// The command-line tool end to end: its statistics agree with an independent computation
// from its own beats.csv, live sampling gives the analysis of the finished file, edits
// survive reopening the document, and bad input gives a message and no output.
#include <algorithm>
#include <functional>
#include <cmath>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli_runner.h"
#include "shared_data.h"

namespace {

struct Beat {
  double time, rr, deltaRR, rate;
  bool included, normal;
  long tick;
};

// beats.csv as rows of the columns the statistics need.
std::vector<Beat> read_beats(const std::filesystem::path& path) {
  std::istringstream in(cli::read_file(path));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "beat_number,record,tick,time_s,rr_s,delta_rr_s,rate_hz,ff,activity,mobility,peak_value,peak_index,flags,class");
  std::vector<Beat> beats;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    std::string cell;
    while (std::getline(row, cell, ',')) cells.push_back(cell);
    if (cells.size() != 14) {
      ADD_FAILURE() << "row with " << cells.size() << " cells: " << line;
      continue;
    }
    auto number = [](const std::string& s) { return s.empty() ? std::nan("") : std::stod(s); };
    const unsigned flags = std::stoul(cells[12], nullptr, 16);
    const bool included = (flags & 0x300) == 0x300;
    beats.push_back({number(cells[3]), number(cells[4]), number(cells[5]), number(cells[6]), included, (flags & 0xFF) == 0,
                     std::stol(cells[2])});
  }
  return beats;
}

// The statistics recomputed from the included beats with textbook formulas: sample standard
// deviations (n − 1), RMSSD over n, the median of the sorted RR, and pRRx counted exactly in
// whole samples: |(t[i] − t[i−1]) − (t[i−1] − t[i−2])| · 1000 > threshold in ms · rate in Hz.
void expect_statistics_match(const std::vector<Beat>& beats, const nlohmann::json& results) {
  std::vector<double> rr, d, rate;
  std::size_t normal = 0, over = 0;
  const long thresholdMs = std::lround(1000 * results["time_domain"]["prr_threshold_s"].get<double>());
  for (std::size_t i = 0; i < beats.size(); ++i)
    if (beats[i].included) {
      const Beat& b = beats[i];
      rr.push_back(b.rr);
      d.push_back(b.deltaRR);
      rate.push_back(b.rate);
      normal += b.normal;
      ASSERT_GE(i, 2u);
      const long ticks = b.tick - beats[i - 1].tick, difference = ticks - (beats[i - 1].tick - beats[i - 2].tick);
      const long rateHz = std::lround(ticks / b.rr);
      ASSERT_NEAR(rateHz * b.rr, ticks, 1e-6) << "a whole number of samples per second";
      over += std::labs(difference) * 1000 > thresholdMs * rateHz;
    }
  const double n = static_cast<double>(rr.size());
  ASSERT_GT(n, 10);
  auto mean = [](const std::vector<double>& x) { return std::accumulate(x.begin(), x.end(), 0.0) / x.size(); };
  auto sd = [&](const std::vector<double>& x) {
    const double m = mean(x);
    double s = 0;
    for (double v : x) s += (v - m) * (v - m);
    return std::sqrt(s / (x.size() - 1));
  };
  std::vector<double> sorted = rr;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t k = sorted.size();
  const double median = k % 2 ? sorted[k / 2] : 0.5 * (sorted[k / 2 - 1] + sorted[k / 2]);
  double squares = 0;
  for (double v : d) squares += v * v;
  const auto& t = results["time_domain"];
  // Relative 1e-9: the tool sums in a different order (running means), nothing else differs.
  auto near = [](double expected, const nlohmann::json& got, const char* name) {
    EXPECT_NEAR(got.get<double>(), expected, 1e-9 * std::max(1.0, std::abs(expected))) << name;
  };
  EXPECT_EQ(results["beats"]["total"].get<double>(), n);
  EXPECT_EQ(results["beats"]["normal"].get<double>(), static_cast<double>(normal));
  EXPECT_EQ(results["beats"]["detected"].get<std::size_t>(), beats.size());
  near(mean(rr), t["mean_rr_s"], "mean RR");
  near(median, t["median_rr_s"], "median RR");
  near(sd(rr), t["sdrr_s"], "SDRR");
  near(sd(rr) / mean(rr), t["cvrr"], "CVRR");
  near(60 * mean(rate), t["mean_rate_bpm"], "mean rate");
  near(60 * sd(rate), t["sd_rate_bpm"], "SD rate");
  near(sd(d), t["sdsd_s"], "SDSD");
  near(std::sqrt(squares / n), t["rmssd_s"], "RMSSD");
  near(100.0 * over / n, t["prrx_pct"], "pRRx");
  near(sd(d) / std::sqrt(2.0), results["nonlinear"]["sd1_s"], "SD1");
  const double varRR = sd(rr) * sd(rr), varD = sd(d) * sd(d);
  near(std::sqrt(2 * varRR - 0.5 * varD), results["nonlinear"]["sd2_s"], "SD2");
}

// rr.txt holds the included intervals of beats.csv, 6 significant digits, CR LF after each.
void expect_rr_export_matches(const std::vector<Beat>& beats, const std::string& rr) {
  std::string expected;
  for (const auto& b : beats)
    if (b.included) {
      char line[32];
      std::snprintf(line, sizeof line, "%.6g\r\n", b.rr);
      expected += line;
    }
  EXPECT_EQ(rr, expected);
}

TEST(AnalyzeCommand, StatisticsAndTheRRExportAgreeWithAnIndependentComputationFromBeatsCsv) {
  HRV_REQUIRE_SHARED(record103, "mitdb/103.hea");
  const auto out103 = cli::fresh_folder("mitdb103");
  // 42 of its differences are 18 samples, 50 ms exactly: pRR50 must not count them.
  ASSERT_EQ(cli::run("analyze '" + record103.string() + "' --out '" + out103.string() + "'").status, 0);
  expect_statistics_match(read_beats(out103 / "beats.csv"), nlohmann::json::parse(cli::read_file(out103 / "results.json")));

  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("mitdb100");
  // A classifier box around this record's rhythm, so that most beats take part.
  const auto settings = out / "settings.json";
  std::ofstream(settings) << R"({"MinRR": 0.5, "MaxRR": 1.3, "MinFF": 0.5, "MaxFF": 2.0})";
  const auto run = cli::run("analyze '" + record.string() + "' --out '" + out.string() + "' --settings '" + settings.string() + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  const auto results = nlohmann::json::parse(cli::read_file(out / "results.json"));
  const auto beats = read_beats(out / "beats.csv");
  expect_statistics_match(beats, results);
  expect_rr_export_matches(beats, cli::read_file(out / "rr.txt"));
  EXPECT_GT(results["beats"]["total"].get<int>(), 2200);
  EXPECT_EQ(results["settings"]["MinRR"].get<double>(), 0.5);
  EXPECT_EQ(results["spectrum"]["power_s2"].size(), 500u);
}

TEST(AnalyzeCommand, DemoShowsNormalAndEctopicBeatsAMeaningfulSpectrumAndWritesWhatTheViewsShowed) {
  const auto out = cli::fresh_folder("demo");
  const auto run = cli::run("demo --out '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  const auto results = nlohmann::json::parse(cli::read_file(out / "results.json"));
  const auto beats = read_beats(out / "beats.csv");
  expect_statistics_match(beats, results);
  const std::string csv = cli::read_file(out / "beats.csv");
  EXPECT_NE(csv.find(",Ectopic\n"), std::string::npos);
  EXPECT_NE(csv.find(",Normal\n"), std::string::npos);
  // The synthetic rhythms at 0.10 and 0.25 Hz put power into both the LF and HF bands.
  EXPECT_GT(results["frequency"]["lf_power_s2"].get<double>(), 1e-4);
  EXPECT_GT(results["frequency"]["hf_power_s2"].get<double>(), 1e-4);

  for (const char* view : {"tachogram", "spectrum", "rr_histogram", "delta_rr_histogram", "poincare", "classifier"}) {
    EXPECT_FALSE(cli::read_file(out / "markup" / (std::string(view) + ".txt")).empty()) << view;
    EXPECT_FALSE(nlohmann::json::parse(cli::read_file(out / "views" / (std::string(view) + ".json")))["series"].empty()) << view;
  }
  // The tachogram plots one RR interval, in milliseconds, per analysed beat.
  const auto tachogram = nlohmann::json::parse(cli::read_file(out / "views" / "tachogram.json"));
  const auto& series = tachogram["series"].begin().value();
  ASSERT_EQ(series.size(), results["beats"]["total"].get<std::size_t>());
  const auto first = std::find_if(beats.begin(), beats.end(), [](const Beat& b) { return b.included; });
  EXPECT_NEAR(series[0].get<double>(), 1000 * first->rr, 1e-3);  // float series
  // The report page shows the beat count as results.json has it.
  const std::string report = cli::read_file(out / "report.html");
  EXPECT_NE(report.find("<html"), std::string::npos);
  EXPECT_NE(report.find(std::to_string(results["beats"]["total"].get<int>())), std::string::npos);
}

// The extension's channel calculation through the host: beat period (parameter 0) at every
// beat, as beats.csv has it.
TEST(AnalyzeCommand, ChannelCalculationGivesEachBeatsPeriodAtItsTick) {
  const auto out = cli::fresh_folder("channel-calc");
  ASSERT_EQ(cli::run("demo --out '" + out.string() + "'").status, 0);
  const auto run = cli::run("analyze '" + (out / "demo-human.csv").string() + "' --channel-calc 0 --out '" + out.string() + "/a'");
  ASSERT_EQ(run.status, 0) << run.output;
  std::istringstream calc(cli::read_file(out / "a" / "channel_calc.csv")), beats(cli::read_file(out / "a" / "beats.csv"));
  std::string c, b;
  std::getline(calc, c);
  EXPECT_EQ(c, "record,tick,time_s,value");
  std::getline(beats, b);
  std::size_t rows = 0;
  for (; std::getline(calc, c) && std::getline(beats, b); ++rows) {
    // record,tick,time_s,value against beat_number,record,tick,time_s,rr_s,...
    std::vector<std::string> x, y;
    for (auto [line, cells] : {std::pair{&c, &x}, std::pair{&b, &y}}) {
      std::stringstream row(*line);
      for (std::string cell; std::getline(row, cell, ',');) cells->push_back(cell);
    }
    ASSERT_GE(y.size(), 5u) << b;
    EXPECT_EQ(x[1], y[2]) << "beat " << rows;
    if (x.size() < 4 || y[4].empty()) {
      EXPECT_TRUE(x.size() < 4 && y[4].empty()) << c << " against " << b;  // no interval before the first beat
    } else {
      EXPECT_NEAR(std::stod(x[3]), std::stod(y[4]), 1e-9) << c << " against " << b;
    }
  }
  EXPECT_GT(rows, 100u);
  EXPECT_FALSE(std::getline(calc, c) || std::getline(beats, b)) << "one value per beat";
}

TEST(SampleCommand, LiveSamplingGivesTheAnalysisOfTheFinishedFile) {
  HRV_REQUIRE_SHARED(record, "mitdb/106.hea");
  const auto offline = cli::fresh_folder("offline106");
  const auto live = cli::fresh_folder("live106");
  ASSERT_EQ(cli::run("analyze '" + record.string() + "' --out '" + offline.string() + "'").status, 0);
  const auto run = cli::run("sample '" + record.string() + "' --block 0.7 --out '" + live.string() + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(cli::read_file(offline / "beats.csv"), cli::read_file(live / "beats.csv"));
  const auto a = nlohmann::json::parse(cli::read_file(offline / "results.json"));
  const auto b = nlohmann::json::parse(cli::read_file(live / "results.json"));
  // Incremental moments round differently: equal within 1e-9 relative.
  std::function<void(const nlohmann::json&, const nlohmann::json&, const std::string&)> same =
      [&](const nlohmann::json& x, const nlohmann::json& y, const std::string& path) {
        if (x.is_object()) {
          for (const auto& [key, value] : x.items()) same(value, y.at(key), path + "/" + key);
        } else if (x.is_array()) {
          ASSERT_EQ(x.size(), y.size()) << path;
          for (std::size_t i = 0; i < x.size(); ++i) same(x[i], y[i], path + "[" + std::to_string(i) + "]");
        } else if (x.is_number_float() && y.is_number()) {
          EXPECT_NEAR(x.get<double>(), y.get<double>(), 1e-9 * std::max(std::abs(x.get<double>()), 1e-300)) << path;
        } else {
          EXPECT_EQ(x, y) << path;
        }
      };
  same(a, b, "");
}

TEST(EditCommand, EditsSurviveReopeningTheDocument) {
  const auto out = cli::fresh_folder("edit");
  ASSERT_EQ(cli::run("demo --out '" + out.string() + "'").status, 0);
  const auto document = out / "document.korvel";
  const std::size_t before = read_beats(out / "beats.csv").size();
  ASSERT_EQ(cli::run("edit '" + document.string() + "' delete-beats 10 20").status, 0);
  const auto afterDelete = read_beats(out / "beats.csv");
  EXPECT_LT(afterDelete.size(), before - 5);
  for (const auto& b : afterDelete) EXPECT_FALSE(b.time >= 10 && b.time < 20) << b.time;
  ASSERT_EQ(cli::run("edit '" + document.string() + "' add-beat 15").status, 0);
  // Reopening the document (a further edit that changes no beat) keeps both edits.
  ASSERT_EQ(cli::run("edit '" + document.string() + "' toggle-markers").status, 0);
  const auto reopened = read_beats(out / "beats.csv");
  EXPECT_EQ(reopened.size(), afterDelete.size() + 1);
  EXPECT_EQ(std::count_if(reopened.begin(), reopened.end(), [](const Beat& b) { return b.time >= 10 && b.time < 20; }), 1);
  const auto results = nlohmann::json::parse(cli::read_file(out / "results.json"));
  EXPECT_FALSE(results["settings"]["ShowMarkers"].get<bool>());
  // Every output of the analysis shows the edited beats.
  const std::string total = std::to_string(results["beats"]["total"].get<int>());
  const std::string rr = cli::read_file(out / "rr.txt");
  EXPECT_EQ(std::to_string(std::count(rr.begin(), rr.end(), '\n')), total);
  EXPECT_EQ(std::to_string(nlohmann::json::parse(cli::read_file(out / "views" / "tachogram.json"))["series"].begin()->size()), total);
  EXPECT_NE(cli::read_file(out / "report.html").find("<td class=\"value\">" + total + "</td>"), std::string::npos);

  // New settings redo the analysis; all-normal says what became of the box. The study
  // folder, moved as a whole, still opens.
  const auto moved = cli::fresh_folder("edit-moved");
  std::filesystem::remove(moved);
  std::filesystem::rename(out, moved);
  std::ofstream(moved / "threshold.json") << R"({"PRRThresholdSec": 0.02})";
  const auto settings = cli::run("edit '" + (moved / "document.korvel").string() + "' --settings '" + (moved / "threshold.json").string() + "'");
  ASSERT_EQ(settings.status, 0) << settings.output;
  EXPECT_NE(settings.output.find("pRR20 "), std::string::npos) << settings.output;
  const auto normal = cli::run("edit '" + (moved / "document.korvel").string() + "' all-normal");
  ASSERT_EQ(normal.status, 0) << normal.output;
  const auto box = nlohmann::json::parse(cli::read_file(moved / "results.json"))["settings"];
  char said[64];
  std::snprintf(said, sizeof said, "box now RR %.4g-%.4g s", box["MinRR"].get<double>(), box["MaxRR"].get<double>());
  EXPECT_NE(normal.output.find(said), std::string::npos) << normal.output;
  // reanalyze keeps the region of an analysis of a selection.
  const auto part = cli::fresh_folder("edit-part");
  ASSERT_EQ(cli::run("analyze '" + (moved / "demo-human.csv").string() + "' --from 100 --to 400 --out '" + part.string() + "'").status, 0);
  const std::string analysed = cli::read_file(part / "results.json");
  ASSERT_EQ(cli::run("edit '" + (part / "document.korvel").string() + "' reanalyze").status, 0);
  EXPECT_EQ(cli::read_file(part / "results.json"), analysed);
}

// Every error exits 1 and a command line written wrong 2, each with a message that names
// what was typed and never a library's own text; a failed analysis writes nothing.
TEST(Commands, BadInputGivesAMessageItsExitStatusAndNoOutput) {
  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("errors");
  auto file = [&](const char* name, const char* text) {
    std::ofstream(out / name) << text;
    return "'" + (out / name).string() + "'";
  };
  const std::string r = "analyze '" + record.string() + "' --out '" + (out / "results").string() + "' ";
  const std::string edit = "edit '" + (out / "document.korvel").string() + "' ";
  struct Case {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"analyze /no/such/file.hea", 1, "file not found"},
      {r + "--signal 7", 1, "signal 7 does not exist"},
      {r + "--from 10 --to 5000", 1, "beyond the end of the recording"},
      {r + "--settings " + file("range.json", R"({"LowPassHz": 500})"), 1, "LowPassHz 500 is outside the range 10 to 200"},
      {r + "--settings " + file("array.json", "[1,2]"), 1, "array.json: settings must be a JSON object"},
      {r + "--settings " + file("text.json", R"({"MinRR": "0.5"})"), 1, "\"MinRR\" must be a number (or true/false), not a string"},
      {r + "--settings " + file("typo.json", R"({"MinRr": 0.3})"), 1, "unknown setting \"MinRr\"; the settings are Polarity, SourceChannel"},
      {r + "--settings " + file("count.json", R"({"FrequencyCount": 5})"), 1, "FrequencyCount 5 is outside the range 10 to 10000"},
      {r + "--settings " + file("band.json", R"({"MaxFrequencyHz": 2, "HFHighHz": 2.5})"), 1, "HFHighHz 2.5 is outside the range 0 to 2"},
      {r + "--settings " + file("broken.json", "{"), 1, "broken.json: not valid JSON"},
      {r + "--settings " + file("deep.json", (std::string(100000, '[') + std::string(100000, ']')).c_str()), 1,
       "deep.json: values nested more than 32 levels deep"},
      {r + "--settings " + file("human.json", R"({"Preset": "Human"})") + " --preset Rat", 2, "both choose a preset"},
      {r + "--preset Hamster", 2, "unknown preset"},
      {r + "--from 20 --to 10", 2, "--from 20 --to 10: a range needs 0 <= --from < --to"},
      {r + "--from 5", 2, "--from and --to go together"},
      {"analyze", 2, "RECORDING is required"},
      {"analyze " + file("bad.json", "{}"), 1, "bad.json"},
      {"compare-beats " + file("beats.csv", "time_s\n1\n") + " '" + record.string() + "'", 1,
       "100.hea: neither a WFDB annotation file"},
      {"table '" + record.string() + "' --window 60 --step 1e-6", 2, "rows over the 1806 s of the recording; at most 100000: give a step of at least 0.018 s"},
      {"compare-beats " + file("one.csv", "time_s\n1\n") + " '" + (record.parent_path() / "100.atr").string() + "' --window 1e308",
       2, "--window: 1e308 is outside 1e-06 to 1"},
      {edit + "delete-beats 20 10", 2, "edit \"delete-beats 20 10\": FROM must come before TO"},
      {edit + "add-beat", 2, "edit \"add-beat\": it is written \"add-beat SEC\""},
      {edit + "frobnicate", 2, "unknown edit \"frobnicate\""},
      {edit, 2, "edit needs an ACTION"},
      {edit + "clear", 1, "document.korvel"},
      {"compare-beats " + file("none.csv", "time_s\n") + " '" + (record.parent_path() / "100.atr").string() + "'", 0,
       "positive predictivity n/a (no detected beats)\nmedian offset n/a (no matched beats)"},
  };
  for (const auto& c : cases) {
    const auto run = cli::run(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    if (c.arguments.find("--from") == std::string::npos) {
      EXPECT_EQ(run.output.find("--from"), std::string::npos) << "an option the user did not type: " << run.output;
    }
    EXPECT_EQ(run.output.find("json.exception"), std::string::npos) << run.output;
  }
  EXPECT_FALSE(std::filesystem::exists(out / "results")) << "a failed analysis must write nothing";
  const auto version = cli::run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("korvel-hrv ", 0), 0u) << version.output;
}

// One analysed beat has a mean but no spread: each undefined value is null with its reason,
// which the summary repeats. Beats covering a third of the recording give powers with a warning.
TEST(AnalyzeCommand, UndefinedValuesAreNullWithTheirReasonAndThinlyCoveredPowersWarn) {
  HRV_REQUIRE_SHARED(record, "mitdb/100.hea");
  const auto out = cli::fresh_folder("undefined");
  for (const char* range : {"--from 0 --to 2", ""}) {
    const auto run = cli::run("analyze '" + record.string() + "' " + range + " --out '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto results = nlohmann::json::parse(cli::read_file(out / "results.json"));
    if (*range) {
      ASSERT_EQ(results["beats"]["total"], 1);
      EXPECT_TRUE(results["time_domain"]["mean_rr_s"].is_number());
      for (const char* key : {"sdrr_s", "rmssd_s", "prrx_pct", "sdarr_s"}) EXPECT_TRUE(results["undefined"].contains(key)) << key;
      EXPECT_NE(run.output.find("SDRR n/a (" + results["undefined"]["sdrr_s"].get<std::string>() + ")"), std::string::npos);
    } else {
      ASSERT_EQ(results["warnings"].size(), 1u);
      EXPECT_NE(run.output.find("warning: " + results["warnings"][0].get<std::string>()), std::string::npos) << run.output;
    }
  }
}

TEST(TableCommand, ARowEqualsTheAnalysisOfItsWindow) {
  const auto out = cli::fresh_folder("table");
  ASSERT_EQ(cli::run("demo --out '" + out.string() + "'").status, 0);
  const auto recording = out / "demo-human.csv";
  const auto table = out / "table.csv";
  const auto run = cli::run("table '" + recording.string() + "' --window 120 --step 120 --out '" + table.string() + "'");
  ASSERT_EQ(run.status, 0) << run.output;
  std::istringstream rows(cli::read_file(table));
  std::string header, row;
  std::getline(rows, header);
  for (int skip = 0; skip < 2; ++skip) std::getline(rows, row);  // the row of 120..240 s
  auto split = [](const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream s(line);
    std::string cell;
    while (std::getline(s, cell, ',')) cells.push_back(cell);
    return cells;
  };
  const auto names = split(header);
  const auto cells = split(row);
  // The row's own window, then the 25 statistics; ASCII titles that say the pRR threshold.
  ASSERT_EQ(names.size(), 27u);
  EXPECT_EQ(names[0] + "," + names[1], "Analysis Start (s),Analysis End (s)");
  ASSERT_EQ(cells[0] + "," + cells[1], "120,240");
  EXPECT_TRUE(std::all_of(header.begin(), header.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) << header;
  auto column = [&](const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    EXPECT_NE(it, names.end()) << name;
    return cells.at(static_cast<std::size_t>(it - names.begin()));
  };
  const auto window = cli::fresh_folder("table-window");
  ASSERT_EQ(cli::run("analyze '" + recording.string() + "' --from 120 --to 240 --out '" + window.string() + "'").status, 0);
  const auto results = nlohmann::json::parse(cli::read_file(window / "results.json"));
  // Counts are integers; values are in milliseconds and beats per minute.
  EXPECT_EQ(column("Total Beats"), std::to_string(results["beats"]["total"].get<int>()));
  EXPECT_EQ(column("Normal Beats"), std::to_string(results["beats"]["normal"].get<int>()));
  // The Tabulet function counts the analysed ectopic beats; results.json every beat outside the box.
  EXPECT_EQ(column("Ectopic Beats"), std::to_string(results["beats"]["total"].get<int>() - results["beats"]["normal"].get<int>()));
  EXPECT_NEAR(std::stod(column("Average RR (ms)")), 1000 * results["time_domain"]["mean_rr_s"].get<double>(), 1e-9);
  EXPECT_NEAR(std::stod(column("RMSSD (ms)")), 1000 * results["time_domain"]["rmssd_s"].get<double>(), 1e-9);
  EXPECT_NEAR(std::stod(column("Average Rate (BPM)")), results["time_domain"]["mean_rate_bpm"].get<double>(), 1e-9);
  EXPECT_NEAR(std::stod(column("LF/HF")), results["frequency"]["lf_hf"].get<double>(), 1e-9);
  EXPECT_EQ(std::stod(column("pRR50 (%)")), results["time_domain"]["prrx_pct"].get<double>());
  EXPECT_EQ(std::stod(column("HF Power (ms2)")), 1e6 * results["frequency"]["hf_power_s2"].get<double>());
}

}  // namespace
