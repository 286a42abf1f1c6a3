// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_record.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "korvel/io/file_access.h"
#include "korvel/io/multirate.h"
#include "korvel/io/wfdb_formats.h"

namespace korvel::io {
namespace {

constexpr std::uint64_t kMaxSignalFileBytes = std::uint64_t{4} << 30;

// The signals stored in one file, in frame order.
struct FileGroup {
  std::string file_name;
  int format = 0;
  std::uint64_t byte_offset = 0;
  std::vector<std::size_t> signals;  // indexes into the header's signals
  std::uint64_t samples_per_frame = 0;
  std::uint64_t max_skew = 0;
  std::uint64_t file_size = 0;
  std::vector<std::uint8_t> bytes;  // the part of the file the record needs, from its start
  std::uint64_t stored_frames = 0;  // complete frames of that part after the byte offset
  WfdbSignalFiles::ReadAt read_at;  // set: the file is read on demand, `bytes` stays empty
};

std::string describe(const WfdbSignalSpec& signal, std::size_t index) {
  const std::string number = "signal " + std::to_string(index + 1);
  return signal.description == number ? number : number + " (" + signal.description + ")";
}

std::vector<FileGroup> group_by_file(const WfdbHeader& header, const std::filesystem::path& header_file) {
  std::vector<FileGroup> groups;
  for (std::size_t i = 0; i < header.signals.size(); ++i) {
    const WfdbSignalSpec& signal = header.signals[i];
    if (!is_supported_wfdb_format(signal.format)) {
      fail(header_file, describe(signal, i) + " is stored in format " + std::to_string(signal.format) +
                            ", which is not supported; supported formats are " + supported_wfdb_formats());
    }
    auto group =
        std::find_if(groups.begin(), groups.end(), [&](const FileGroup& g) { return g.file_name == signal.file_name; });
    if (group == groups.end()) {
      group = groups.insert(groups.end(),
                            FileGroup{signal.file_name, signal.format, signal.byte_offset, {}, 0, 0, 0, {}, 0, nullptr});
    } else if (group->format != signal.format || group->byte_offset != signal.byte_offset) {
      fail(header_file,
           describe(signal, i) + " shares file " + signal.file_name + " with signals of another format or byte offset");
    }
    group->signals.push_back(i);
    group->samples_per_frame += static_cast<std::uint64_t>(signal.samples_per_frame);
    group->max_skew = std::max(group->max_skew, static_cast<std::uint64_t>(signal.skew));
  }
  return groups;
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b ? std::numeric_limits<std::uint64_t>::max()
                                                                     : a * b;
}

// Reads what the header needs of a group's file (all of it when the header gives no length).
void load_group(FileGroup& group, const WfdbHeader& header, const WfdbSignalFiles& files,
                const std::filesystem::path& signal_file) {
  group.file_size = files.size(group.file_name);
  if (group.file_size < group.byte_offset) {
    fail(signal_file, "file of " + std::to_string(group.file_size) + " bytes is shorter than its byte offset " +
                          std::to_string(group.byte_offset));
  }
  std::uint64_t wanted = group.file_size;
  if (header.frame_count > 0) {
    const std::uint64_t frames = saturating_add(static_cast<std::uint64_t>(header.frame_count), group.max_skew);
    wanted =
        std::min(wanted, saturating_add(group.byte_offset,
                                        wfdb_bytes_for(group.format, saturating_mul(frames, group.samples_per_frame))));
  }
  if (!group.read_at) {
    if (wanted > kMaxSignalFileBytes) {
      fail(signal_file, "the record needs " + std::to_string(wanted) + " bytes of this file; over " +
                            std::to_string(kMaxSignalFileBytes) + " is not supported");
    }
    group.bytes = files.read_start(group.file_name, wanted);
    if (group.bytes.size() != wanted) {
      fail(signal_file, "read " + std::to_string(group.bytes.size()) + " of " + std::to_string(wanted) + " bytes");
    }
  }
  group.stored_frames = wfdb_samples_in(group.format, wanted - group.byte_offset) / group.samples_per_frame;
}

void check_length(const FileGroup& group, std::uint64_t frames, const std::filesystem::path& signal_file) {
  if (group.stored_frames >= frames) return;
  const std::uint64_t expected_bytes =
      saturating_add(group.byte_offset, wfdb_bytes_for(group.format, saturating_mul(frames, group.samples_per_frame)));
  fail(signal_file, "signal file is truncated: the header gives " + std::to_string(frames) + " samples per signal (" +
                        std::to_string(expected_bytes) + " bytes), the file holds " + std::to_string(group.file_size) +
                        " bytes, enough for " + std::to_string(group.stored_frames) + " samples per signal");
}

// Frames decoded at a time: the stored values live only for one such piece, so a long
// record costs its samples once, as floats. Even, so that a piece of format 212 starts on a
// whole byte.
constexpr std::uint64_t kFramesPerPiece = 1 << 16;

// A stored value in the signal's physical unit.
inline float physical(std::int32_t v, double baseline, double gain) {
  return static_cast<float>((static_cast<double>(v) - baseline) / gain);
}

// One signal of a group as its stored values arrive, frame after frame: the physical
// samples it yields, its 16-bit checksum and, for format 8, the running sum of differences.
class SignalDecoder {
 public:
  // `keep`: whether it keeps the samples, or only sums them.
  SignalDecoder(const WfdbSignalSpec& signal, std::uint64_t first_in_frame, std::uint64_t frames, bool keep = true)
      : signal_(signal),
        first_in_frame_(first_in_frame),
        spf_(static_cast<std::uint64_t>(signal.samples_per_frame)),
        summed_(frames * spf_),
        shift_(static_cast<std::uint64_t>(signal.skew) * spf_),
        invalid_(wfdb_invalid_value(signal.format)),
        running_(static_cast<std::uint32_t>(signal.initial_value)),
        samples_(keep ? static_cast<std::size_t>(frames * spf_) : 0, std::numeric_limits<float>::quiet_NaN()) {}

  // Takes the stored values of `frames` consecutive frames of the group, `per_frame` values
  // a frame.
  void take(std::span<const std::int32_t> stream, std::uint64_t frames, std::uint64_t per_frame) {
    const std::uint64_t values = frames * spf_;
    if (signal_.format != 8 && invalid_ && index_ >= shift_ && index_ + values <= summed_ &&
        index_ + values <= shift_ + samples_.size()) {
      take_plain(stream, frames, per_frame);
      return;
    }
    if (samples_.empty() && signal_.format != 8 && index_ + values <= summed_) {
      sum_plain(stream, frames, per_frame);
      return;
    }
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
      const std::int32_t* in = stream.data() + frame * per_frame + first_in_frame_;
      for (std::uint64_t k = 0; k < spf_; ++k) take_value(in[k]);
    }
  }

  std::int32_t checksum() const { return static_cast<std::int16_t>(sum_ & 0xFFFFu); }
  std::vector<float> release() { return std::move(samples_); }

 private:
  void take_value(std::int32_t v) {
    // Format 8 stores first differences from the initial value; the sum wraps rather than
    // overflows when a damaged file keeps climbing.
    if (signal_.format == 8) v = static_cast<std::int32_t>(running_ += static_cast<std::uint32_t>(v));
    if (index_ < summed_) sum_ += static_cast<std::uint32_t>(v);
    // A skew of k frames: tick t takes the value stored for frame t + k.
    if (index_ >= shift_ && index_ - shift_ < samples_.size() && v != invalid_)
      samples_[static_cast<std::size_t>(index_ - shift_)] =
          physical(v, signal_.baseline, signal_.gain);
    ++index_;
  }

  // take_value for a piece that lies wholly within the record's ticks and the checksum's
  // span, of a format without differences: the same values, without a test per value.
  void take_plain(std::span<const std::int32_t> stream, std::uint64_t frames, std::uint64_t per_frame) {
    float* out = samples_.data() + (index_ - shift_);
    const std::int32_t invalid = *invalid_;
    const double baseline = signal_.baseline, gain = signal_.gain;
    std::uint32_t sum = sum_;
    for (std::uint64_t frame = 0; frame < frames; ++frame) {
      const std::int32_t* in = stream.data() + frame * per_frame + first_in_frame_;
      for (std::uint64_t k = 0; k < spf_; ++k) {
        const std::int32_t v = in[k];
        sum += static_cast<std::uint32_t>(v);
        if (v != invalid) *out = physical(v, baseline, gain);
        ++out;
      }
    }
    sum_ = sum;
    index_ += frames * spf_;
  }

  // take_value for a decoder that keeps nothing (a signal read on demand, whose checksum
  // alone is wanted), over a piece within the checksum's span, of a format without
  // differences.
  void sum_plain(std::span<const std::int32_t> stream, std::uint64_t frames, std::uint64_t per_frame) {
    // A run of values per frame; the file's only signal is one run through the piece.
    const bool alone = per_frame == spf_;
    const std::uint64_t runs = alone ? 1 : frames, run = alone ? frames * spf_ : spf_;
    std::uint32_t sum = sum_;
    for (std::uint64_t r = 0; r < runs; ++r) {
      const std::int32_t* in = stream.data() + r * per_frame + first_in_frame_;
      for (std::uint64_t k = 0; k < run; ++k) sum += static_cast<std::uint32_t>(in[k]);
    }
    sum_ = sum;
    index_ += frames * spf_;
  }

  const WfdbSignalSpec& signal_;
  std::uint64_t first_in_frame_;  // position of its first value within a frame
  std::uint64_t spf_;
  std::uint64_t summed_;  // values the checksum covers: those of the record's frames
  std::uint64_t shift_;
  std::optional<std::int32_t> invalid_;
  std::uint32_t running_;
  std::uint32_t sum_ = 0;
  std::uint64_t index_ = 0;  // values taken so far
  std::vector<float> samples_;
};

// A signal read from its file on demand: a read decodes the frames that hold the ticks it
// asks for, a piece at a time, so a long record costs one piece, not its length. Only a
// signal at the record's rate (a tick per stored value), without skew, in a format of
// stored values rather than differences, whose every frame the file holds.
class SignalOnDemand final : public StoredSamples {
 public:
  SignalOnDemand(const FileGroup& group, const WfdbSignalSpec& signal, std::uint64_t first_in_frame, std::uint64_t frames)
      : read_at_(group.read_at),
        format_(group.format),
        byte_offset_(group.byte_offset),
        per_frame_(group.samples_per_frame),
        first_in_frame_(first_in_frame),
        spf_(static_cast<std::uint64_t>(signal.samples_per_frame)),
        frames_(frames),
        baseline_(signal.baseline),
        gain_(signal.gain),
        invalid_(wfdb_invalid_value(signal.format)) {}

  std::size_t length() const override { return static_cast<std::size_t>(frames_ * spf_); }

  void read(std::size_t from, std::size_t n, float* out) const override {
    if (n == 0) return;
    const std::uint64_t end_frame = (from + n + spf_ - 1) / spf_;
    // A piece starts on an even value, which format 212 needs to start on a whole byte.
    std::uint64_t frame = from / spf_;
    frame -= frame * per_frame_ % 2;
    std::vector<std::uint8_t> bytes;
    std::vector<std::int32_t> values;
    while (frame < end_frame) {
      const std::uint64_t count = std::min(kFramesPerPiece, end_frame - frame);
      bytes.resize(static_cast<std::size_t>(wfdb_bytes_for(format_, count * per_frame_)));
      read_at_(byte_offset_ + wfdb_bytes_for(format_, frame * per_frame_), bytes.size(), bytes.data());
      decode_wfdb_samples(format_, bytes, static_cast<std::size_t>(count * per_frame_), values);
      const auto sample = [&](std::int32_t v) {
        return v == invalid_ ? std::numeric_limits<float>::quiet_NaN() : physical(v, baseline_, gain_);
      };
      if (spf_ == 1) {  // a tick per frame: the ticks asked for, straight through
        const std::uint64_t first = std::max<std::uint64_t>(from, frame), last = std::min<std::uint64_t>(from + n, frame + count);
        for (std::uint64_t tick = first; tick < last; ++tick)
          out[tick - from] = sample(values[static_cast<std::size_t>((tick - frame) * per_frame_ + first_in_frame_)]);
      } else {
        for (std::uint64_t f = 0; f < count; ++f)
          for (std::uint64_t k = 0; k < spf_; ++k) {
            const std::uint64_t tick = (frame + f) * spf_ + k;
            if (tick < from || tick >= from + n) continue;
            out[tick - from] = sample(values[static_cast<std::size_t>(f * per_frame_ + first_in_frame_ + k)]);
          }
      }
      frame += count;
    }
  }

 private:
  WfdbSignalFiles::ReadAt read_at_;
  int format_;
  std::uint64_t byte_offset_;
  std::uint64_t per_frame_;  // values a frame holds, of every signal of the file
  std::uint64_t first_in_frame_;
  std::uint64_t spf_;
  std::uint64_t frames_;
  double baseline_, gain_;
  std::optional<std::int32_t> invalid_;
};

// Ticks a frame spans: the most samples any signal stores per frame.
std::uint64_t ticks_per_frame(const WfdbHeader& header) {
  std::uint64_t most = 1;
  for (const WfdbSignalSpec& signal : header.signals) most = std::max(most, static_cast<std::uint64_t>(signal.samples_per_frame));
  return most;
}

// Whether a file's signals can be read on demand (SignalOnDemand).
bool readable_on_demand(const FileGroup& group, const WfdbHeader& header, std::uint64_t max_spf) {
  if (group.format == 8) return false;
  for (std::size_t index : group.signals)
    if (static_cast<std::uint64_t>(header.signals[index].samples_per_frame) != max_spf || header.signals[index].skew != 0) return false;
  return true;
}

}  // namespace

Record decode_wfdb_signals(const WfdbHeader& header, const WfdbSignalFiles& files,
                           const std::filesystem::path& header_file, bool verify_checksums) {
  const std::filesystem::path folder = header_file.parent_path();
  if (header.signals.empty()) {
    fail(header_file, "record " + header.record_name +
                          " has no signals (an annotation-only record); read its annotation files instead");
  }
  std::vector<FileGroup> groups = group_by_file(header, header_file);
  const std::uint64_t max_spf = ticks_per_frame(header);
  for (FileGroup& group : groups) {
    if (files.open && readable_on_demand(group, header, max_spf)) group.read_at = files.open(group.file_name);
    load_group(group, header, files, folder / group.file_name);
  }

  std::uint64_t frames = static_cast<std::uint64_t>(header.frame_count);
  if (frames == 0) {  // up to the end of the shortest file
    frames = std::numeric_limits<std::uint64_t>::max();
    for (const FileGroup& group : groups) frames = std::min(frames, group.stored_frames);
  }
  std::uint64_t stored_samples = 0;
  for (const FileGroup& group : groups) {
    check_length(group, frames, folder / group.file_name);
    stored_samples += frames * group.samples_per_frame;
  }
  check_interpolated_size(header_file, saturating_mul(frames, max_spf), header.signals.size(), stored_samples);

  Record record;
  record.tick_interval_s = 1.0 / (header.frequency_hz * static_cast<double>(max_spf));
  record.channels.resize(header.signals.size());
  for (FileGroup& group : groups) {
    const bool on_demand = static_cast<bool>(group.read_at);
    bool summed = false;  // what an on-demand file needs decoding for here: its checksums
    for (std::size_t index : group.signals) summed = summed || (verify_checksums && header.signals[index].checksum);
    const std::uint64_t decoded_frames = on_demand && !summed ? 0 : std::min(group.stored_frames, frames + group.max_skew);
    std::vector<SignalDecoder> decoders;
    decoders.reserve(group.signals.size());
    std::vector<std::uint64_t> first_in_frame;
    std::uint64_t first = 0;
    for (std::size_t index : group.signals) {
      decoders.emplace_back(header.signals[index], first, frames, !on_demand);
      first_in_frame.push_back(first);
      first += static_cast<std::uint64_t>(header.signals[index].samples_per_frame);
    }
    std::vector<std::uint8_t> piece;
    std::vector<std::int32_t> stream;
    for (std::uint64_t frame = 0; frame < decoded_frames; frame += kFramesPerPiece) {
      const std::uint64_t count = std::min(kFramesPerPiece, decoded_frames - frame);
      const std::uint64_t skipped = wfdb_bytes_for(group.format, frame * group.samples_per_frame);
      std::span<const std::uint8_t> stored;
      if (on_demand) {
        piece.resize(static_cast<std::size_t>(wfdb_bytes_for(group.format, count * group.samples_per_frame)));
        group.read_at(group.byte_offset + skipped, piece.size(), piece.data());
        stored = piece;
      } else {
        stored = std::span(group.bytes).subspan(static_cast<std::size_t>(group.byte_offset + skipped));
      }
      decode_wfdb_samples(group.format, stored, static_cast<std::size_t>(count * group.samples_per_frame), stream);
      for (SignalDecoder& decoder : decoders) decoder.take(stream, count, group.samples_per_frame);
    }
    group.bytes = {};
    for (std::size_t member = 0; member < group.signals.size(); ++member) {
      const std::size_t index = group.signals[member];
      const WfdbSignalSpec& signal = header.signals[index];
      if (verify_checksums && signal.checksum) {
        const std::int32_t sum = decoders[member].checksum();
        if (sum != static_cast<std::int16_t>(*signal.checksum & 0xFFFF)) {
          fail(folder / group.file_name, describe(signal, index) + " sums to checksum " + std::to_string(sum) +
                                             " but the header gives " + std::to_string(*signal.checksum) +
                                             "; the file is damaged or belongs to another header");
        }
      }
      if (on_demand) {
        record.channels[index] =
            Channel{signal.description, signal.units, {}, std::make_shared<SignalOnDemand>(group, signal, first_in_frame[member], frames)};
        continue;
      }
      std::vector<float> samples = decoders[member].release();
      const auto spf = static_cast<std::uint64_t>(signal.samples_per_frame);
      if (spf < max_spf)
        samples = interpolate_onto_ticks(samples, spf, max_spf, static_cast<std::size_t>(frames * max_spf));
      record.channels[index] = Channel{signal.description, signal.units, std::move(samples)};
    }
  }
  return record;
}

Recording read_wfdb_record(const std::filesystem::path& file, bool verify_checksums) {
  std::filesystem::path header_file = file;
  if (file.extension() != ".hea") {
    header_file.replace_extension(".hea");
    if (!std::filesystem::exists(header_file)) {
      checked_file_size(file);
      fail(file, "no WFDB header " + header_file.filename().string() + " next to the signal file");
    }
  }
  const WfdbHeader header = read_wfdb_header(header_file);
  const std::filesystem::path folder = header_file.parent_path();
  WfdbSignalFiles on_disk{
      [&folder](const std::string& name) { return checked_file_size(folder / name); },
      [&folder](const std::string& name, std::uint64_t count) { return read_file_prefix(folder / name, count); }};
  const std::uint64_t max_spf = ticks_per_frame(header);
  if (static_cast<std::uint64_t>(header.frame_count) * max_spf > kWfdbReadOnDemandTicks)
    on_disk.open = [&folder](const std::string& name) -> WfdbSignalFiles::ReadAt {
      auto opened = std::make_shared<const OpenFile>(folder / name);
      return [opened](std::uint64_t offset, std::uint64_t count, std::uint8_t* out) { opened->read_at(offset, count, out); };
    };
  Recording recording;
  recording.name = recording_name(header_file);
  recording.source = file.string();
  recording.records.push_back(decode_wfdb_signals(header, on_disk, header_file, verify_checksums));
  return recording;
}

}  // namespace korvel::io
