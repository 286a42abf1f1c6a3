// SPDX-License-Identifier: MIT
// A recording as the importers deliver it: records (contiguous blocks of sampling) of
// channels with physical values. Every channel of a record shares the record's tick
// interval; an importer resamples slower signals of a multi-rate file onto the record's
// ticks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel::io {

// Samples read from where they are stored, on demand, rather than held: a long record's
// channel costs what one read asks for, not its length. Reads may come from several
// threads at once.
class StoredSamples {
 public:
  virtual ~StoredSamples() = default;
  virtual std::size_t length() const = 0;
  // Samples [from, from + n), which lie within length(), into `out`. Throws ImportError
  // when the file cannot be read.
  virtual void read(std::size_t from, std::size_t n, float* out) const = 0;
};

struct Channel {
  std::string name;         // as the file names it, e.g. "MLII"
  std::string unit;         // physical unit, e.g. "mV"
  std::vector<float> samples;  // physical values, one per tick of the record
  // When set, `samples` is empty and the values are read through it.
  std::shared_ptr<const StoredSamples> stored = nullptr;

  std::size_t length() const noexcept { return stored ? stored->length() : samples.size(); }
  // Samples [from, from + n), which lie within length(), into `out`.
  void read(std::size_t from, std::size_t n, float* out) const {
    if (stored)
      stored->read(from, n, out);
    else
      std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(from), n, out);
  }
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
    if (!channels.empty()) return channels.front().length();
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
