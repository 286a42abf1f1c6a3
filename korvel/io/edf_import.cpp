// SPDX-License-Identifier: MIT
#include "korvel/io/edf_import.h"

#include <edflib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "korvel/io/file_access.h"
#include "korvel/io/edf_header_check.h"
#include "korvel/io/multirate.h"
#include "korvel/io/plausible_values.h"

namespace korvel::io {
namespace {

// EDFlib keeps its open files in a process-wide table; opening and closing are not
// thread-safe, so one import at a time goes through it.
std::mutex edflib_mutex;

std::string open_error(int code) {
  switch (code) {
    case EDFLIB_MALLOC_ERROR:
      return "out of memory while opening the file";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
      return "file not found";
    case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
      return "not a valid EDF or BDF file: the header does not follow the format";
    case EDFLIB_MAXFILES_REACHED:
      return "too many EDF files are open at once";
    case EDFLIB_FILE_READ_ERROR:
      return "read error while opening the file";
    case EDFLIB_FILE_ALREADY_OPENED:
      return "the file is already open in this process";
    case EDFLIB_FILE_IS_DISCONTINUOUS:
      return "discontinuous EDF+D/BDF+D recording; only continuous EDF, EDF+C, BDF and BDF+C files are supported";
    default:
      return "EDFlib cannot open the file (error " + std::to_string(code) + ")";
  }
}

std::string trimmed(const char* text) {
  std::string value(text);
  const auto end = value.find_last_not_of(' ');
  value.erase(end == std::string::npos ? 0 : end + 1);
  return value;
}

class OpenEdf {
 public:
  explicit OpenEdf(const std::filesystem::path& file) : header_(std::make_unique<edf_hdr_struct>()) {
    if (edfopen_file_readonly(file.c_str(), header_.get(), EDFLIB_DO_NOT_READ_ANNOTATIONS) < 0) {
      fail(file, open_error(header_->filetype));
    }
  }
  ~OpenEdf() { edfclose_file(header_->handle); }
  OpenEdf(const OpenEdf&) = delete;
  OpenEdf& operator=(const OpenEdf&) = delete;

  const edf_hdr_struct& header() const { return *header_; }

 private:
  std::unique_ptr<edf_hdr_struct> header_;  // about 200 KB: too large for the stack
};

std::vector<float> read_signal(const std::filesystem::path& file, int handle, int signal, std::uint64_t count) {
  std::vector<float> samples;
  samples.reserve(static_cast<std::size_t>(count));
  std::vector<double> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(count, 1 << 16)));
  while (samples.size() < count) {
    const int wanted = static_cast<int>(std::min<std::uint64_t>(count - samples.size(), chunk.size()));
    const int got = edfread_physical_samples(handle, signal, wanted, chunk.data());
    if (got <= 0) {
      fail(file, "signal " + std::to_string(signal + 1) + ": read " + std::to_string(samples.size()) + " of " +
                     std::to_string(count) + " samples; the file is truncated or damaged");
    }
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + got);
  }
  return samples;
}

}  // namespace

Recording read_edf(const std::filesystem::path& file) {
  const std::uint64_t file_size = checked_file_size(file);
  constexpr std::uint64_t kFixedHeaderBytes = 256;
  if (file_size < kFixedHeaderBytes) {
    fail(file, "not an EDF or BDF file: " + std::to_string(file_size) + " bytes, shorter than the " +
                   std::to_string(kFixedHeaderBytes) + "-byte header");
  }
  check_edf_header(file);
  const std::lock_guard lock(edflib_mutex);
  const OpenEdf edf(file);
  const edf_hdr_struct& header = edf.header();
  if (header.edfsignals <= 0) fail(file, "no signals, only annotations");
  if (header.datarecord_duration <= 0) fail(file, "data records have no duration");

  const auto records = static_cast<std::uint64_t>(std::max<long long>(header.datarecords_in_file, 0));
  const std::uint64_t bytes_per_sample =
      header.filetype == EDFLIB_FILETYPE_BDF || header.filetype == EDFLIB_FILETYPE_BDFPLUS ? 3 : 2;
  std::uint64_t fastest = 1;
  std::uint64_t samples_per_record = 0;
  for (int i = 0; i < header.edfsignals; ++i) {
    const int n = header.signalparam[i].smp_in_datarecord;
    if (n <= 0) fail(file, "signal " + std::to_string(i + 1) + " has no samples per data record");
    fastest = std::max(fastest, static_cast<std::uint64_t>(n));
    samples_per_record += static_cast<std::uint64_t>(n);
  }
  // EDFlib trusts the header's record count; the samples must be in the file.
  if (records != 0 && samples_per_record * bytes_per_sample > file_size / records) {
    fail(file, "the header gives " + std::to_string(records) + " data records of " +
                   std::to_string(samples_per_record * bytes_per_sample) + " bytes, more than the file's " +
                   std::to_string(file_size) + " bytes");
  }
  const std::uint64_t ticks = records * fastest;
  check_interpolated_size(file, ticks, static_cast<std::uint64_t>(header.edfsignals), records * samples_per_record);

  Record record;
  record.tick_interval_s =
      static_cast<double>(header.datarecord_duration) / EDFLIB_TIME_DIMENSION / static_cast<double>(fastest);
  check_sampling_rate(file, "the fastest signal's sampling rate (samples per data record / record duration)",
                      1.0 / record.tick_interval_s);
  for (int i = 0; i < header.edfsignals; ++i) {
    const edf_param_struct& signal = header.signalparam[i];
    const auto per_record = static_cast<std::uint64_t>(signal.smp_in_datarecord);
    std::vector<float> samples = read_signal(file, header.handle, i, records * per_record);
    if (per_record < fastest)
      samples = interpolate_onto_ticks(samples, per_record, fastest, static_cast<std::size_t>(ticks));
    record.channels.push_back(Channel{trimmed(signal.label), trimmed(signal.physdimension), std::move(samples)});
  }
  Recording recording;
  recording.name = recording_name(file);
  recording.source = file.string();
  recording.records.push_back(std::move(record));
  return recording;
}

}  // namespace korvel::io
