// SPDX-License-Identifier: MIT
#include "korvel/io/load_recording.h"

#include <algorithm>
#include <cctype>

#include "korvel/io/csv_import.h"
#include "korvel/io/edf_import.h"
#include "korvel/io/file_access.h"
#include "korvel/io/mat_import.h"
#include "korvel/io/wfdb_record.h"

namespace korvel::io {

Recording load_recording(const std::filesystem::path& path, const LoadOptions& options) {
  const InputKind input = options.input ? *options.input : recognise_input(path, options.sampling_rate_hz);
  if (input == InputKind::Annotations) return read_annotated_beats(path);
  if (input == InputKind::RRList) return read_rr_list(path);
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (extension == ".hea" || extension == ".dat") return read_wfdb_record(path, options.verify_checksums);
  if (extension == ".edf" || extension == ".bdf" || extension == ".rec") return read_edf(path);
  if (extension == ".mat") return read_mat(path, options.mat_variable, options.sampling_rate_hz);
  if (extension == ".csv" || extension == ".tsv" || extension == ".txt") {
    return read_delimited_text(path, options.sampling_rate_hz);
  }
  checked_file_size(path);  // a missing file says so before its type does
  fail(path, "unknown recording format \"" + extension +
                 "\"; known are .hea/.dat (WFDB), .edf/.bdf/.rec, .mat, .csv/.tsv/.txt");
}

}  // namespace korvel::io
