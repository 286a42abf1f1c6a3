// SPDX-License-Identifier: MIT
// The tables of a cohort, from what its recordings left in the output folder: one writer
// for the batch command and for the Python module's cluster runs, so both give the same
// bytes whatever order the recordings finished in.
#pragma once

#include <filesystem>
#include <vector>

#include "apps/korvel-hrv/manifest.h"

namespace korvel_hrv {

// OUT/cohort.csv: one row per finished recording, in manifest order: id, path (as the
// manifest writes it), then every value of its results.json outside "settings" and
// "spectrum", named by its keys joined with '.' ("time_domain.rmssd_s"), in results.json's
// order; an empty cell for null. OUT/failures.csv: id,path,message for each recording that
// failed. Returns the number of failures.
std::size_t write_cohort_tables(const std::vector<ManifestRow>& rows, const std::filesystem::path& out);

}  // namespace korvel_hrv
