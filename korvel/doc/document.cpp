// SPDX-License-Identifier: MIT
#include "korvel/doc/document.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace korvel::doc {
namespace {

// Default trace colours, by channel index, repeating.
constexpr std::uint32_t kPalette[] = {0x0000C0, 0xC00000, 0x008000, 0x800080, 0x008080, 0x806000, 0x404040, 0xC06000};

constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::uint32_t default_colour(std::int32_t index) noexcept {
  const auto n = static_cast<std::int32_t>(std::size(kPalette));
  return kPalette[((index % n) + n) % n];
}

Document::Document(io::Recording recording) : name_(std::move(recording.name)) {
  std::size_t widest = 0;
  for (std::size_t r = 0; r < recording.records.size(); ++r)
    if (recording.records[r].channels.size() > recording.records[widest].channels.size()) widest = r;
  if (!recording.records.empty())
    for (const auto& c : recording.records[widest].channels) channels_.push_back({c.name, c.unit, 0});
  for (std::size_t i = 0; i < channels_.size(); ++i) channels_[i].colour = default_colour(static_cast<std::int32_t>(i));
  for (const auto& in : recording.records)
    for (const auto& e : in.events)
      if (std::find(event_channels_.begin(), event_channels_.end(), e.name) == event_channels_.end())
        event_channels_.push_back(e.name);

  for (auto& in : recording.records) {
    if (!(in.tick_interval_s > 0.0) || !std::isfinite(in.tick_interval_s))
      throw std::invalid_argument("record " + std::to_string(records_.size()) + " has no positive tick interval");
    Record out;
    out.start = in.start_time_s;
    out.interval = in.tick_interval_s;
    out.channels.resize(channels_.size());
    std::size_t length = 0;
    for (std::size_t c = 0; c < in.channels.size(); ++c) {
      const std::size_t n = in.channels[c].length();
      if (n == 0) continue;
      if (length != 0 && n != length)
        throw std::invalid_argument("record " + std::to_string(records_.size()) + ": channel '" + in.channels[c].name + "' has " +
                                    std::to_string(n) + " samples where the others have " + std::to_string(length));
      length = n;
      out.channels[c] = std::move(in.channels[c]);
    }
    if (length == 0) length = in.length();  // a record of events alone
    out.events.resize(event_channels_.size());
    for (auto& e : in.events) {
      const auto at = std::find(event_channels_.begin(), event_channels_.end(), e.name) - event_channels_.begin();
      out.events[static_cast<std::size_t>(at)] = std::move(e.ticks);
    }
    if (static_cast<std::int64_t>(length) > kMaxTicks)
      throw std::invalid_argument("record " + std::to_string(records_.size()) + " is longer than 2^31 - 1 ticks");
    out.length = static_cast<std::int32_t>(length);
    records_.push_back(std::move(out));
  }
}

Document::Document(std::string name, std::vector<ChannelInfo> channels) : name_(std::move(name)), channels_(std::move(channels)) {
  for (std::size_t i = 0; i < channels_.size(); ++i)
    if (channels_[i].colour == 0) channels_[i].colour = default_colour(static_cast<std::int32_t>(i));
}

const Document::Record& Document::record_at(std::int32_t record) const {
  if (record < 0 || record >= record_count()) throw std::out_of_range("no record " + std::to_string(record));
  return records_[static_cast<std::size_t>(record)];
}

const ChannelInfo& Document::channel(std::int32_t index) const {
  if (index < 0 || index >= channel_count()) throw std::out_of_range("no channel " + std::to_string(index));
  return channels_[static_cast<std::size_t>(index)];
}

void Document::set_colour(std::int32_t index, std::uint32_t rgb) {
  channel(index);
  channels_[static_cast<std::size_t>(index)].colour = rgb & 0xFFFFFF;
}

std::int32_t Document::record_length(std::int32_t record) const { return record_at(record).length; }
double Document::tick_interval(std::int32_t record) const { return record_at(record).interval; }
double Document::record_start(std::int32_t record) const { return record_at(record).start; }

bool Document::has_data(std::int32_t record, std::int32_t channel) const {
  const Record& r = record_at(record);
  if (channel < 0 || channel >= channel_count()) return false;
  // A sampling record holds data for every channel from its first tick on.
  return r.channels[static_cast<std::size_t>(channel)].length() != 0 || (!complete(record) && r.length == 0);
}

std::span<const std::int32_t> Document::events(std::int32_t record, std::int32_t index) const {
  const Record& r = record_at(record);
  if (index < 0 || index >= static_cast<std::int32_t>(event_channels_.size()))
    throw std::out_of_range("no event channel " + std::to_string(index));
  // A record sampled after the import holds none.
  if (static_cast<std::size_t>(index) >= r.events.size()) return {};
  return r.events[static_cast<std::size_t>(index)];
}

void Document::read(std::int32_t record, std::int32_t channel, std::size_t from, std::size_t n, float* out) const {
  const Record& r = record_at(record);
  if (channel < 0 || channel >= channel_count()) throw std::out_of_range("no channel " + std::to_string(channel));
  const io::Channel& c = r.channels[static_cast<std::size_t>(channel)];
  if (from > c.length() || n > c.length() - from)
    throw std::out_of_range("samples " + std::to_string(from) + " to " + std::to_string(from + n) + " of channel " + std::to_string(channel) +
                            " lie beyond the " + std::to_string(c.length()) + " of record " + std::to_string(record));
  c.read(from, n, out);
}

bool Document::complete(std::int32_t record) const { return !(sampling_ && record == record_count() - 1); }

double Document::next_tick_interval() const noexcept {
  if (announced_interval_ > 0) return announced_interval_;
  return records_.empty() ? 0.0 : records_.back().interval;
}

void Document::begin_sampling(double tick_interval_s, double start_time_s) {
  if (sampling_) throw std::logic_error("the document is sampling already");
  if (!(tick_interval_s > 0.0) || !std::isfinite(tick_interval_s)) throw std::invalid_argument("the tick interval must be positive");
  Record r;
  r.start = start_time_s;
  r.interval = tick_interval_s;
  r.channels.resize(channels_.size());
  records_.push_back(std::move(r));
  sampling_ = true;
}

void Document::append(std::span<const std::vector<float>> block) {
  if (!sampling_) throw std::logic_error("append while the document is not sampling");
  if (block.size() != channels_.size())
    throw std::invalid_argument("a block needs " + std::to_string(channels_.size()) + " channels, not " + std::to_string(block.size()));
  const std::size_t count = block.empty() ? 0 : block.front().size();
  for (const auto& c : block)
    if (c.size() != count) throw std::invalid_argument("the channels of a block differ in length");
  Record& r = records_.back();
  if (r.length + static_cast<std::int64_t>(count) > kMaxTicks) throw std::invalid_argument("the record would exceed 2^31 - 1 ticks");
  if (count == 0) return;
  for (std::size_t c = 0; c < block.size(); ++c) r.channels[c].samples.insert(r.channels[c].samples.end(), block[c].begin(), block[c].end());
  const Growth growth{record_count() - 1, r.length, static_cast<std::int32_t>(count)};
  r.length += static_cast<std::int32_t>(count);
  for (const auto& observer : observers_) observer(growth);
}

void Document::end_sampling() {
  if (!sampling_) throw std::logic_error("end_sampling while the document is not sampling");
  sampling_ = false;
}

}  // namespace korvel::doc
