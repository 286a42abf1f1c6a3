// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/cohort_table.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "apps/korvel-hrv/batch.h"
#include "apps/korvel-hrv/csv_text.h"
#include "apps/korvel-hrv/outputs.h"
#include "apps/korvel-hrv/usage_error.h"

namespace korvel_hrv {

namespace {

using Cells = std::vector<std::pair<std::string, std::string>>;

// Every scalar of `value` under `name`, in order; arrays are left out.
void flatten(const nlohmann::ordered_json& value, const std::string& name, Cells& cells) {
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (name.empty() && (it.key() == "settings" || it.key() == "spectrum")) continue;
      flatten(it.value(), name.empty() ? it.key() : name + "." + it.key(), cells);
    }
  } else if (value.is_string()) {
    cells.emplace_back(name, value.get<std::string>());
  } else if (value.is_null()) {
    cells.emplace_back(name, "");
  } else if (!value.is_array()) {
    cells.emplace_back(name, value.dump());
  }
}

}  // namespace

std::size_t write_cohort_tables(const std::vector<ManifestRow>& rows, const std::filesystem::path& out) {
  std::vector<std::string> columns;  // in the order they first appear
  std::vector<std::pair<const ManifestRow*, Cells>> finished;
  std::string failures = "id,path,message\n";
  std::size_t failed = 0;
  for (const ManifestRow& row : rows) {
    const std::filesystem::path dir = out / row.id;
    if (std::filesystem::exists(dir / kFailureFile)) {
      std::string message = read_text_file(dir / kFailureFile);
      while (!message.empty() && message.back() == '\n') message.pop_back();
      failures += csv_field(row.id) + "," + csv_field(row.written) + "," + csv_field(message) + "\n";
      ++failed;
      continue;
    }
    if (!std::filesystem::exists(dir / kCompleteMarker)) continue;
    Cells cells;
    try {
      flatten(nlohmann::ordered_json::parse(read_text_file(dir / "results.json")), "", cells);
    } catch (const nlohmann::json::exception& e) {
      throw UsageError((dir / "results.json").string() + ": not valid JSON (" + e.what() + "); delete " +
                       (dir / kCompleteMarker).string() + " to analyse the recording again");
    }
    for (const auto& [name, text] : cells)
      if (std::find(columns.begin(), columns.end(), name) == columns.end()) columns.push_back(name);
    finished.emplace_back(&row, std::move(cells));
  }
  std::string table = "id,path";
  for (const auto& name : columns) table.append(",").append(csv_field(name));
  table += "\n";
  for (const auto& [row, cells] : finished) {
    table += csv_field(row->id) + "," + csv_field(row->written);
    for (const auto& name : columns) {
      table += ",";
      const auto cell = std::find_if(cells.begin(), cells.end(), [&](const auto& c) { return c.first == name; });
      if (cell != cells.end()) table += csv_field(cell->second);
    }
    table += "\n";
  }
  write_file_atomically(out / "cohort.csv", table);
  write_file_atomically(out / "failures.csv", failures);
  return failed;
}

}  // namespace korvel_hrv
