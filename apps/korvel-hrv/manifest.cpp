// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/manifest.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <set>

#include "apps/korvel-hrv/csv_text.h"
#include "apps/korvel-hrv/usage_error.h"

namespace korvel_hrv {

namespace {

constexpr const char* kColumns[] = {"path", "signal", "preset", "start", "end", "settings"};

std::string id_of(const std::string& written) {
  std::filesystem::path path = std::filesystem::path(written).lexically_normal();
  path.replace_extension();
  std::string id;
  for (const auto& part : path) {
    const std::string name = part.string();
    if (name.empty() || name == "/" || name == "." || name == "..") continue;
    if (!id.empty()) id += '_';
    for (char c : name) id += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
  }
  return id.empty() ? "recording" : id;
}

template <typename T>
T number(const std::string& text, const std::string& where, const char* what) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    throw UsageError(where + ": " + what + " \"" + text + "\" is not a number");
  return value;
}

}  // namespace

std::vector<ManifestRow> read_manifest(const std::filesystem::path& manifest) {
  std::ifstream in(manifest);
  if (!in) throw UsageError(manifest.string() + ": cannot open the manifest");
  const std::filesystem::path folder = std::filesystem::absolute(manifest).parent_path();
  std::vector<int> column;  // manifest column -> index into kColumns
  std::vector<ManifestRow> rows;
  std::set<std::string> ids;
  std::string line;
  for (int number_of_line = 1; std::getline(in, line); ++number_of_line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A spreadsheet's "CSV UTF-8" begins with a byte order mark.
    if (number_of_line == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const std::string where = manifest.string() + " line " + std::to_string(number_of_line);
    std::vector<std::string> cells;
    try {
      cells = csv_fields(line);
    } catch (const std::invalid_argument& e) {
      throw UsageError(where + ": " + e.what());
    }
    if (column.empty()) {
      for (const auto& name : cells) {
        const auto known = std::find(std::begin(kColumns), std::end(kColumns), name);
        if (known == std::end(kColumns))
          throw UsageError(where + ": unknown column \"" + name +
                           "\"; the columns are path, signal, preset, start, end, settings");
        column.push_back(static_cast<int>(known - std::begin(kColumns)));
      }
      if (std::find(column.begin(), column.end(), 0) == column.end())
        throw UsageError(where + ": the header row names no \"path\" column; it is the one column required");
      continue;
    }
    if (cells.size() > column.size())
      throw UsageError(where + ": more cells than the header has columns (quote a cell that holds a comma)");
    ManifestRow row;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::string& cell = cells[i];
      if (cell.empty()) continue;
      switch (column[i]) {
        case 0: row.written = cell; break;
        case 1: row.signal = number<int>(cell, where, "signal"); break;
        case 2: row.preset = cell; break;
        case 3: row.start = number<double>(cell, where, "start"); break;
        case 4: row.end = number<double>(cell, where, "end"); break;
        case 5: row.settings = folder / cell; break;
      }
    }
    if (row.written.empty()) throw UsageError(where + ": the row has no path; every row needs its recording's path");
    if (row.start.has_value() != row.end.has_value())
      throw UsageError(where + ": start and end go together; give both or neither");
    row.path = folder / row.written;
    row.id = id_of(row.written);
    for (int n = 2; ids.count(row.id); ++n) row.id = id_of(row.written) + "-" + std::to_string(n);
    ids.insert(row.id);
    rows.push_back(std::move(row));
  }
  if (column.empty())
    throw UsageError(manifest.string() + ": the manifest is empty; it needs a header row such as \"path,signal\"");
  return rows;
}

std::vector<std::string> analyze_arguments(const ManifestRow& row) {
  std::vector<std::string> arguments = {"analyze", row.path.lexically_normal().string(), "--signal", std::to_string(row.signal)};
  auto seconds = [](double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
  };
  if (row.preset) arguments.insert(arguments.end(), {"--preset", *row.preset});
  if (row.start) arguments.insert(arguments.end(), {"--from", seconds(*row.start)});
  if (row.end) arguments.insert(arguments.end(), {"--to", seconds(*row.end)});
  if (row.settings) arguments.insert(arguments.end(), {"--settings", row.settings->lexically_normal().string()});
  return arguments;
}

}  // namespace korvel_hrv
