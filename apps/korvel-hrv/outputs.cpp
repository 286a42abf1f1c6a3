// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/outputs.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace korvel_hrv {

std::string read_text_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file_atomically(const std::filesystem::path& path, const std::string& contents) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error(path.string() + ": cannot write the file");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    throw std::runtime_error(path.string() + ": cannot replace the file");
  }
}

namespace {

std::string value(const nlohmann::json& j, double scale, int precision, const char* unit) {
  if (!j.is_number()) return "n/a";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f%s", precision, j.get<double>() * scale, unit);
  return buffer;
}

}  // namespace

std::string summary_of(const std::string& resultsJson, const std::filesystem::path& outDir) {
  const auto r = nlohmann::json::parse(resultsJson);
  const auto& t = r["time_domain"];
  const auto& f = r["frequency"];
  const auto& b = r["beats"];
  std::ostringstream out;
  out << "recording " << r["recording"].get<std::string>() << ", signal " << r["signal"];
  if (r.contains("polarity")) out << ", " << r["polarity"].get<std::string>() << " deflection analysed";
  out << "\n";
  out << "beats: " << b["detected"] << " detected, " << b["total"] << " analysed (" << b["normal"] << " normal, "
      << b["ectopic"] << " ectopic)\n";
  out << "mean RR " << value(t["mean_rr_s"], 1000, 1, " ms") << ", mean rate " << value(t["mean_rate_bpm"], 1, 1, " bpm")
      << ", SDRR " << value(t["sdrr_s"], 1000, 1, " ms") << ", RMSSD " << value(t["rmssd_s"], 1000, 1, " ms") << ", pRR"
      << value(t["prr_threshold_s"], 1000, 0, "") << " " << value(t["prrx_pct"], 1, 1, " %") << "\n";
  out << "SD1 " << value(r["nonlinear"]["sd1_s"], 1000, 1, " ms") << ", SD2 " << value(r["nonlinear"]["sd2_s"], 1000, 1, " ms")
      << ", SDARR " << value(t["sdarr_s"], 1000, 1, " ms") << "\n";
  out << "power: total " << value(f["total_power_s2"], 1e6, 1, " ms2") << ", VLF " << value(f["vlf_power_s2"], 1e6, 1, " ms2")
      << ", LF " << value(f["lf_power_s2"], 1e6, 1, " ms2") << ", HF " << value(f["hf_power_s2"], 1e6, 1, " ms2")
      << ", LF/HF " << value(f["lf_hf"], 1, 2, "") << "\n";
  out << "written to " << outDir.string() << "\n";
  return out.str();
}

Progress::Progress(std::string label) : label_(std::move(label)) {
  if (!isatty(STDERR_FILENO)) return;
  thread_ = std::thread([this] {
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    while (!done_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (seconds < 1.0 || done_) continue;
      std::fprintf(stderr, "\r%s... %.0f s ", label_.c_str(), std::floor(seconds));
      std::fflush(stderr);
      shown = true;
    }
    if (shown) std::fprintf(stderr, "\r\033[K");
  });
}

Progress::~Progress() {
  done_ = true;
  if (thread_.joinable()) thread_.join();
}

}  // namespace korvel_hrv
