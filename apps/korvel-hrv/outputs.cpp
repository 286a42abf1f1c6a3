// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/outputs.h"

#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/hrv_session.h"

namespace korvel_hrv {

std::string read_text_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string shortest_text(double value) {
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, end);
}

namespace {

// "preset Human", as a species preset is named to the user.
std::string preset_text(const nlohmann::json& settings) {
  return "preset " + preset_name(settings["Preset"].get<int>());
}

}  // namespace

std::string classifier_box_text(const std::string& resultsJson) {
  const auto s = nlohmann::json::parse(resultsJson)["settings"];
  char text[96];
  std::snprintf(text, sizeof text, "RR %.3f-%.3f s, FF %.3f-%.3f", s["MinRR"].get<double>(), s["MaxRR"].get<double>(),
                s["MinFF"].get<double>(), s["MaxFF"].get<double>());
  return text;
}

std::optional<std::string> exclusion_warning(const std::string& resultsJson, bool fittedBox) {
  const auto r = nlohmann::json::parse(resultsJson);
  const auto& b = r["beats"];
  const auto detected = b["detected"].get<std::size_t>(), excluded = b["excluded"].get<std::size_t>();
  if (5 * excluded <= detected) return std::nullopt;
  std::ostringstream out;
  char share[32];
  std::snprintf(share, sizeof share, "%.1f %%", 100.0 * static_cast<double>(excluded) / static_cast<double>(detected));
  out << excluded << " of " << detected << " detected beats (" << share << ") are left out of the statistics; " << b["ectopic"] << " lie outside the classifier box ("
      << classifier_box_text(resultsJson) << (fittedBox ? ", fitted to this recording" : ", " + preset_text(r["settings"]))
      << ")." << (fittedBox ? "" : " --box auto fits the box to this recording's beats;")
      << " --preset chooses another species; a settings file sets the box (MinRR, MaxRR, MinFF, MaxFF) or keeps "
         "ectopic beats in (\"ExcludeEctopic\": false).";
  return out.str();
}

std::string summary_of(const std::string& resultsJson, const std::filesystem::path& outDir, bool fittedBox) {
  const auto r = nlohmann::json::parse(resultsJson);
  const auto& t = r["time_domain"];
  const auto& f = r["frequency"];
  const auto& b = r["beats"];
  // A value of block `j` by key, scaled, or "n/a" with the reason results.json gives.
  auto value = [&](const nlohmann::json& j, const char* key, double scale, int precision, const char* unit) -> std::string {
    if (!j.contains(key) || !j[key].is_number()) {
      const auto& why = r.contains("undefined") ? r["undefined"] : nlohmann::json::object();
      return why.contains(key) ? "n/a (" + why[key].get<std::string>() + ")" : "n/a";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f%s", precision, j[key].get<double>() * scale, unit);
    return buffer;
  };
  std::ostringstream out;
  out << "recording " << r["recording"].get<std::string>();
  if (r["signal"].is_null())
    out << ", imported beats (no detection)";
  else
    out << ", signal " << r["signal"] << ", " << r["polarity"].get<std::string>() << " deflection analysed";
  out << "\n";
  out << preset_text(r["settings"]) << ", classifier box " << classifier_box_text(resultsJson)
      << (fittedBox ? " (fitted to this recording's beats)" : "") << "\n";
  out << "beats: " << b["detected"] << " detected, " << b["total"] << " analysed (" << b["normal"] << " normal), "
      << b["excluded"] << " excluded; " << b["ectopic"] << " ectopic (outside the box: " << b["outside_rr"] << " on RR, "
      << b["outside_ff"] << " on FF)\n";
  out << "mean RR " << value(t, "mean_rr_s", 1000, 1, " ms") << ", mean rate " << value(t, "mean_rate_bpm", 1, 1, " bpm")
      << ", SDRR " << value(t, "sdrr_s", 1000, 1, " ms") << ", RMSSD " << value(t, "rmssd_s", 1000, 1, " ms") << ", pRR"
      << value(t, "prr_threshold_s", 1000, 0, "") << " " << value(t, "prrx_pct", 1, 2, " %") << "\n";
  out << "SD1 " << value(r["nonlinear"], "sd1_s", 1000, 1, " ms") << ", SD2 " << value(r["nonlinear"], "sd2_s", 1000, 1, " ms")
      << ", SDARR " << value(t, "sdarr_s", 1000, 1, " ms") << "\n";
  out << "power: total " << value(f, "total_power_s2", 1e6, 1, " ms2") << ", VLF " << value(f, "vlf_power_s2", 1e6, 1, " ms2")
      << ", LF " << value(f, "lf_power_s2", 1e6, 1, " ms2") << ", HF " << value(f, "hf_power_s2", 1e6, 1, " ms2")
      << ", LF/HF " << value(f, "lf_hf", 1, 2, "") << "\n";
  out << "written to " << outDir.string() << "\n";
  return out.str();
}

void print_warnings(const std::string& resultsJson) {
  const auto r = nlohmann::json::parse(resultsJson);
  if (!r.contains("warnings")) return;
  for (const auto& w : r["warnings"]) std::fprintf(stderr, "korvel-hrv: warning: %s\n", w.get<std::string>().c_str());
}

Progress::Progress(std::string label) : label_(std::move(label)) {
  if (!isatty(STDERR_FILENO)) return;
  thread_ = std::thread([this] {
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    while (!finished_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds < 1.0 || finished_) continue;
      const double fraction = fraction_;
      if (fraction >= 0)
        std::fprintf(stderr, "\r%s... %.0f %% %.0f s ", label_.c_str(), std::floor(100 * fraction), std::floor(seconds));
      else
        std::fprintf(stderr, "\r%s... %.0f s ", label_.c_str(), std::floor(seconds));
      std::fflush(stderr);
      shown = true;
    }
    if (shown) std::fprintf(stderr, "\r\033[K");
  });
}

Progress::~Progress() {
  finished_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace korvel_hrv
