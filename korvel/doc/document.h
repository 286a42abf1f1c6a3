// SPDX-License-Identifier: MIT
// A document's recorded data: records of channels sampled on each record's ticks, the
// records' starts on one time axis, channel names, units and trace colours, and the
// sampling state. While the host samples, the last record grows and new records start;
// every earlier record is complete.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "korvel/io/recording.h"

namespace korvel::doc {

struct ChannelInfo {
  std::string name;
  std::string unit;
  std::uint32_t colour = 0;  // 0x00RRGGBB
};

// The trace colour a channel gets by default, by its index (recorded or computed).
std::uint32_t default_colour(std::int32_t index) noexcept;

// Ticks appended to a record.
struct Growth {
  std::int32_t record = 0;
  std::int32_t first_tick = 0;
  std::int32_t count = 0;
};

class Document {
 public:
  // Takes the recording's records. The channels are those of the record with the most
  // channels; a channel that a record lacks, or holds no samples for, has no data there.
  // Throws std::invalid_argument when a record's channels differ in length (among those
  // with samples), a tick interval is not positive, or a record exceeds 2^31 − 1 ticks.
  explicit Document(io::Recording recording);
  // A document with these channels and no record yet, to be filled by sampling. Channels
  // without a colour (0) get their default one.
  Document(std::string name, std::vector<ChannelInfo> channels);

  const std::string& name() const noexcept { return name_; }

  std::int32_t channel_count() const noexcept { return static_cast<std::int32_t>(channels_.size()); }
  const ChannelInfo& channel(std::int32_t index) const;
  void set_colour(std::int32_t index, std::uint32_t rgb);

  // Event channels recorded with the data (beats imported from annotations or an RR list),
  // by name; the computed channels offer each under its name.
  const std::vector<std::string>& event_channels() const noexcept { return event_channels_; }
  // The ticks of event channel `index` (of event_channels()) in the record; empty where
  // the record holds none.
  std::span<const std::int32_t> events(std::int32_t record, std::int32_t index) const;

  std::int32_t record_count() const noexcept { return static_cast<std::int32_t>(records_.size()); }
  std::int32_t record_length(std::int32_t record) const;
  double tick_interval(std::int32_t record) const;
  double record_start(std::int32_t record) const;
  bool has_data(std::int32_t record, std::int32_t channel) const;
  // Samples [from, from + n) of the channel in the record into `out`; they must lie within
  // what was recorded so far (record_length, where the channel has data). A channel of a
  // long file is read from the file (io::StoredSamples); the call may come from several
  // threads at once while the document does not change. Throws std::out_of_range for a
  // range outside the data, io::ImportError when the file cannot be read.
  void read(std::int32_t record, std::int32_t channel, std::size_t from, std::size_t n, float* out) const;

  // A record is complete unless it is the last one while sampling.
  bool complete(std::int32_t record) const;
  bool sampling() const noexcept { return sampling_; }
  // The record that sampling fills, or would fill next.
  std::int32_t sampling_record() const noexcept { return sampling_ ? record_count() - 1 : record_count(); }

  // Sampling: begin_sampling opens a new, empty record (every channel with data) that
  // starts at `start_time_s`; append adds one block of ticks to it, the same number of
  // samples for every channel; end_sampling completes it. Each throws std::logic_error when
  // called out of turn and std::invalid_argument for a block of the wrong shape.
  void begin_sampling(double tick_interval_s, double start_time_s);
  // The tick interval the next record will have: what sampling is set up for once it is
  // announced (the hardware's rate is known before the first sample arrives), else that of
  // the last record, else 0.
  void announce_sampling(double tick_interval_s) noexcept { announced_interval_ = tick_interval_s; }
  double next_tick_interval() const noexcept;
  void append(std::span<const std::vector<float>> block);
  void end_sampling();

  // Called after every append.
  void on_growth(std::function<void(const Growth&)> observer) { observers_.push_back(std::move(observer)); }

 private:
  struct Record {
    double start = 0.0;
    double interval = 0.0;
    std::int32_t length = 0;
    std::vector<io::Channel> channels;  // one per document channel; no samples: no data
    std::vector<std::vector<std::int32_t>> events;  // one per event channel
  };

  const Record& record_at(std::int32_t record) const;

  std::string name_;
  std::vector<ChannelInfo> channels_;
  std::vector<std::string> event_channels_;
  std::vector<Record> records_;
  bool sampling_ = false;
  double announced_interval_ = 0.0;
  std::vector<std::function<void(const Growth&)>> observers_;
};

}  // namespace korvel::doc
