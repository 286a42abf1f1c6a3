// SPDX-License-Identifier: MIT
// A cohort's manifest: a CSV file with a header row and one row per recording, in the
// columns path, signal, preset, start, end and settings (only path is required; an empty
// cell takes the default). Relative paths are taken from the manifest's folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvel_hrv {

struct ManifestRow {
  // The recording's folder in the batch's output: the path as written, without its
  // extension, folders joined by '_' ("mitdb/100.hea" -> "mitdb_100"); a later row with
  // the same id gets "-2", "-3", ...
  std::string id;
  std::string written;         // the path as the manifest writes it
  std::filesystem::path path;  // the recording file
  int signal = 0;
  std::optional<std::string> preset;
  std::optional<double> start, end;  // seconds; both or neither
  std::optional<std::filesystem::path> settings;
};

// Throws UsageError naming the manifest's line and what is wrong with it.
std::vector<ManifestRow> read_manifest(const std::filesystem::path& manifest);

// The tool's arguments, after the program name and before --out, that analyse `row`.
std::vector<std::string> analyze_arguments(const ManifestRow& row);

}  // namespace korvel_hrv
