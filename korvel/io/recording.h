// SPDX-License-Identifier: MIT
// A recording as the importers deliver it: records (contiguous blocks of sampling) of
// channels with physical values. Every channel of a record shares the record's tick
// interval; an importer resamples slower signals of a multi-rate file onto the record's
// ticks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::io {

struct Channel {
  std::string name;         // as the file names it, e.g. "MLII"
  std::string unit;         // physical unit, e.g. "mV"
  std::vector<float> samples;  // physical values, one per tick of the record
};

// Events recorded with the data rather than computed from it: beats read from annotations
// or an RR list.
struct EventChannel {
  std::string name;
  std::vector<std::int32_t> ticks;  // ascending
};

struct Record {
  double start_time_s = 0.0;     // start on the recording's one time axis, seconds
  double tick_interval_s = 0.0;  // seconds per sample (per tick of the events)
  std::vector<Channel> channels;
  std::vector<EventChannel> events = {};

  // Ticks of the record: its samples, or for a record of events alone, up to its last event.
  std::size_t length() const noexcept {
    if (!channels.empty()) return channels.front().samples.size();
    std::size_t n = 0;
    for (const auto& e : events)
      if (!e.ticks.empty()) n = std::max(n, static_cast<std::size_t>(e.ticks.back()) + 1);
    return n;
  }
};

struct Recording {
  std::string name;    // file name without folder and extension
  std::string source;  // path it was read from
  std::vector<Record> records;
};

// A file that cannot be read as a recording. The message names the file and what is wrong.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korvel::io
