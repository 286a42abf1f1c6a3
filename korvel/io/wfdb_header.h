// SPDX-License-Identifier: MIT
// The text header of a WFDB record (NAME.hea): a record line, one line per signal, and
// '#' comment lines anywhere. Fields left out take the format's documented defaults.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::io {

struct WfdbSignalSpec {
  std::string file_name;          // signal file, relative to the header's folder
  int format = 0;                 // storage format number, e.g. 212, 16, 80
  int samples_per_frame = 1;      // this signal's samples in each frame ("16x4")
  int skew = 0;                   // frames by which the stored samples lag ("16:3")
  std::uint64_t byte_offset = 0;  // bytes before the first sample in the file ("16+512")
  double gain = 200.0;            // ADC units per physical unit; 0 in the file means 200
  bool calibrated = true;         // false when the file leaves the gain out or gives 0
  int baseline = 0;               // ADC value of physical zero; defaults to adc_zero
  std::string units = "mV";
  int adc_resolution = 0;  // bits; 0 when the file leaves it to the format
  int adc_zero = 0;
  int initial_value = 0;        // value of the first sample; the start of format 8's differences
  std::optional<int> checksum;  // 16-bit sum of all samples of the signal
  int block_size = 0;
  std::string description;  // "signal N" (1-based) when the line gives none
};

struct WfdbHeader {
  std::string record_name;
  double frequency_hz = 250.0;          // frames per second
  double counter_frequency_hz = 250.0;  // counter ticks per second; the frame rate when absent
  double base_counter = 0.0;
  std::int64_t frame_count = 0;  // samples per signal (frames); 0 = up to the end of the files
  std::string base_time;         // as written, e.g. "2:34:12.811"; empty when absent
  std::string base_date;         // DD/MM/YYYY; empty when absent
  std::vector<WfdbSignalSpec> signals;
  std::vector<std::string> comments;  // text after '#', in order
};

// Parses header text; a bad line throws ImportError naming `source` and the line number.
WfdbHeader parse_wfdb_header(std::string_view text, const std::filesystem::path& source);

WfdbHeader read_wfdb_header(const std::filesystem::path& file);

}  // namespace korvel::io
