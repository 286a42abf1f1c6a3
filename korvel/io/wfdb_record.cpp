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
  std::uint64_t stored_frames = 0;  // complete frames in `bytes` after the byte offset
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
                            FileGroup{signal.file_name, signal.format, signal.byte_offset, {}, 0, 0, 0, {}, 0});
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
  if (wanted > kMaxSignalFileBytes) {
    fail(signal_file, "the record needs " + std::to_string(wanted) + " bytes of this file; over " +
                          std::to_string(kMaxSignalFileBytes) + " is not supported");
  }
  group.bytes = files.read_start(group.file_name, wanted);
  if (group.bytes.size() != wanted) {
    fail(signal_file, "read " + std::to_string(group.bytes.size()) + " of " + std::to_string(wanted) + " bytes");
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

std::int32_t sum16(std::span<const std::int32_t> values) {
  std::uint32_t sum = 0;
  for (std::int32_t v : values) sum += static_cast<std::uint32_t>(v);
  return static_cast<std::int16_t>(sum & 0xFFFFu);
}

// The stored ADC values of one signal of a group, frame after frame.
std::vector<std::int32_t> demultiplex(const std::vector<std::int32_t>& stream, const FileGroup& group,
                                      const WfdbHeader& header, std::size_t member, std::uint64_t frames) {
  std::uint64_t first = 0;
  for (std::size_t k = 0; k < member; ++k)
    first += static_cast<std::uint64_t>(header.signals[group.signals[k]].samples_per_frame);
  const WfdbSignalSpec& signal = header.signals[group.signals[member]];
  const auto spf = static_cast<std::uint64_t>(signal.samples_per_frame);
  std::vector<std::int32_t> values;
  values.reserve(static_cast<std::size_t>(frames * spf));
  for (std::uint64_t frame = 0; frame < frames; ++frame) {
    const std::uint64_t start = frame * group.samples_per_frame + first;
    values.insert(values.end(), stream.begin() + static_cast<std::ptrdiff_t>(start),
                  stream.begin() + static_cast<std::ptrdiff_t>(start + spf));
  }
  // Format 8 stores first differences from the initial value; the sum wraps rather than
  // overflows when a damaged file keeps climbing.
  if (signal.format == 8) {
    auto value = static_cast<std::uint32_t>(signal.initial_value);
    for (std::int32_t& v : values) v = static_cast<std::int32_t>(value += static_cast<std::uint32_t>(v));
  }
  return values;
}

Channel to_channel(const std::vector<std::int32_t>& values, const WfdbSignalSpec& signal, std::uint64_t frames,
                   std::uint64_t max_spf) {
  const auto spf = static_cast<std::uint64_t>(signal.samples_per_frame);
  const std::optional<std::int32_t> invalid = wfdb_invalid_value(signal.format);
  const std::uint64_t shift = static_cast<std::uint64_t>(signal.skew) * spf;
  std::vector<float> samples(static_cast<std::size_t>(frames * spf), std::numeric_limits<float>::quiet_NaN());
  for (std::size_t i = 0; i < samples.size() && i + shift < values.size(); ++i) {
    const std::int32_t v = values[i + shift];
    if (v != invalid) samples[i] = static_cast<float>((static_cast<double>(v) - signal.baseline) / signal.gain);
  }
  if (spf < max_spf)
    samples = interpolate_onto_ticks(samples, spf, max_spf, static_cast<std::size_t>(frames * max_spf));
  return Channel{signal.description, signal.units, std::move(samples)};
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
  for (FileGroup& group : groups) load_group(group, header, files, folder / group.file_name);

  std::uint64_t frames = static_cast<std::uint64_t>(header.frame_count);
  if (frames == 0) {  // up to the end of the shortest file
    frames = std::numeric_limits<std::uint64_t>::max();
    for (const FileGroup& group : groups) frames = std::min(frames, group.stored_frames);
  }
  std::uint64_t max_spf = 1;
  std::uint64_t stored_samples = 0;
  for (const FileGroup& group : groups) {
    check_length(group, frames, folder / group.file_name);
    stored_samples += frames * group.samples_per_frame;
    for (std::size_t index : group.signals) {
      max_spf = std::max(max_spf, static_cast<std::uint64_t>(header.signals[index].samples_per_frame));
    }
  }
  check_interpolated_size(header_file, saturating_mul(frames, max_spf), header.signals.size(), stored_samples);

  Record record;
  record.tick_interval_s = 1.0 / (header.frequency_hz * static_cast<double>(max_spf));
  record.channels.resize(header.signals.size());
  for (const FileGroup& group : groups) {
    const std::uint64_t decoded_frames = std::min(group.stored_frames, frames + group.max_skew);
    const std::size_t count = static_cast<std::size_t>(decoded_frames * group.samples_per_frame);
    const auto stream = decode_wfdb_samples(
        group.format, std::span(group.bytes).subspan(static_cast<std::size_t>(group.byte_offset)), count);
    for (std::size_t member = 0; member < group.signals.size(); ++member) {
      const std::size_t index = group.signals[member];
      const WfdbSignalSpec& signal = header.signals[index];
      const auto values = demultiplex(stream, group, header, member, decoded_frames);
      if (verify_checksums && signal.checksum) {
        const auto stored = std::span(values).first(static_cast<std::size_t>(frames * signal.samples_per_frame));
        const std::int32_t sum = sum16(stored);
        if (sum != static_cast<std::int16_t>(*signal.checksum & 0xFFFF)) {
          fail(folder / group.file_name, describe(signal, index) + " sums to checksum " + std::to_string(sum) +
                                             " but the header gives " + std::to_string(*signal.checksum) +
                                             "; the file is damaged or belongs to another header");
        }
      }
      record.channels[index] = to_channel(values, signal, frames, max_spf);
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
  const WfdbSignalFiles on_disk{
      [&folder](const std::string& name) { return checked_file_size(folder / name); },
      [&folder](const std::string& name, std::uint64_t count) { return read_file_prefix(folder / name, count); }};
  Recording recording;
  recording.name = recording_name(header_file);
  recording.source = file.string();
  recording.records.push_back(decode_wfdb_signals(header, on_disk, header_file, verify_checksums));
  return recording;
}

}  // namespace korvel::io
