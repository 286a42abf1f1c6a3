// SPDX-License-Identifier: MIT
#include "korvel/io/beat_import.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

#include "korvel/io/file_access.h"
#include "korvel/io/wfdb_annotations.h"
#include "korvel/io/wfdb_header.h"

namespace korvel::io {

namespace {

constexpr std::uint64_t kMaxListBytes = std::uint64_t{256} << 20;
constexpr std::int64_t kMaxTick = 2147483647;
constexpr std::uint64_t kProbeBytes = 65536;

std::string lower_extension(const std::filesystem::path& file) {
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) { return std::tolower(c); });
  return extension;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The intervals of an RR list in seconds, or nothing when the text is not one.
std::optional<std::vector<double>> rr_list_seconds(std::string_view text) {
  std::vector<double> values;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty()) continue;
    double v = 0;
    const auto [rest, ec] = std::from_chars(line.data(), line.data() + line.size(), v);
    const bool number = ec == std::errc() && rest == line.data() + line.size() && std::isfinite(v);
    if (!number && first) {  // one header line ("RR", "RR (ms)") may come first
      first = false;
      continue;
    }
    first = false;
    if (!number) return std::nullopt;
    values.push_back(v);
  }
  if (values.size() < 2) return std::nullopt;
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  if (*low >= 0.05 && *high <= 10.0) return values;
  if (*low >= 50.0 && *high <= 10000.0) {
    for (double& v : values) v /= 1000.0;
    return values;
  }
  return std::nullopt;
}

// Whether the bytes decode as WFDB annotations holding at least one beat.
bool annotations_with_beats(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& file) {
  try {
    return !beat_annotations(decode_wfdb_annotations(bytes, file).annotations).empty();
  } catch (const ImportError&) {
    return false;
  }
}

bool is_text(const std::vector<std::uint8_t>& bytes) {
  return std::none_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x09 || (b > 0x0D && b < 0x20); });
}

Recording beat_recording(const std::filesystem::path& file, double ticksPerSecond, std::vector<std::int32_t> ticks) {
  Recording r;
  r.name = recording_name(file);
  r.source = file.string();
  Record record;
  record.tick_interval_s = 1.0 / ticksPerSecond;
  record.events.push_back({kBeatChannelName, std::move(ticks)});
  r.records.push_back(std::move(record));
  return r;
}

}  // namespace

InputKind recognise_input(const std::filesystem::path& file, double samplingRateHz) {
  const std::string extension = lower_extension(file);
  if (extension == ".hea") return read_wfdb_header(file).signals.empty() ? InputKind::Annotations : InputKind::Signal;
  for (const char* signal : {".dat", ".edf", ".bdf", ".rec", ".mat"})
    if (extension == signal) return InputKind::Signal;
  if (checked_file_size(file) > kMaxListBytes) return InputKind::Signal;
  // The first lines decide most files; only a file that starts like a list is read whole.
  std::vector<std::uint8_t> bytes = read_file_prefix(file, kProbeBytes);
  if (!is_text(bytes)) {
    bytes = read_file_bytes(file, kMaxListBytes);
    return annotations_with_beats(bytes, file) ? InputKind::Annotations : InputKind::Signal;
  }
  if (samplingRateHz > 0) return InputKind::Signal;
  std::string_view probe(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (bytes.size() == kProbeBytes) probe = probe.substr(0, probe.rfind('\n') + 1);  // whole lines only
  if (!rr_list_seconds(probe)) return InputKind::Signal;
  return rr_list_seconds(read_file_text(file, kMaxListBytes)) ? InputKind::RRList : InputKind::Signal;
}

Recording read_annotated_beats(const std::filesystem::path& file) {
  std::filesystem::path annotations = file;
  if (lower_extension(file) == ".hea") {
    const std::string record = read_wfdb_header(file).record_name;
    annotations.clear();
    for (const char* annotator : {"atr", "qrs", "ecg"}) {
      const auto candidate = file.parent_path() / (record + "." + annotator);
      if (std::filesystem::exists(candidate)) {
        annotations = candidate;
        break;
      }
    }
    if (annotations.empty()) fail(file, "no beat annotation file " + record + ".atr, .qrs or .ecg beside the header");
  }
  const AnnotationSet set = read_wfdb_annotations(annotations);
  std::vector<std::int32_t> ticks;
  for (const Annotation& a : beat_annotations(set.annotations)) {
    if (a.time < 0 || a.time > kMaxTick) fail(annotations, "a beat lies beyond 2^31 - 1 ticks of the annotation clock");
    ticks.push_back(static_cast<std::int32_t>(a.time));
  }
  if (ticks.empty()) fail(annotations, "holds no beat annotations");
  std::sort(ticks.begin(), ticks.end());
  return beat_recording(file, set.time_base_hz, std::move(ticks));
}

Recording read_rr_list(const std::filesystem::path& file) {
  const std::string text = read_file_text(file, kMaxListBytes);
  const auto intervals = rr_list_seconds(text);
  if (!intervals) {
    fail(file, "not an RR interval list: expected one interval per line (after at most one header line), all in "
               "seconds (0.05 to 10) or all in milliseconds (50 to 10000)");
  }
  // The first beat at 0 s, each next one an interval later: the sum in seconds, rounded
  // once per beat onto the finest clock that holds the whole list.
  std::vector<double> seconds{0.0};
  for (double rr : *intervals) seconds.push_back(seconds.back() + rr);
  double clock = 0;
  for (double hz : {1e6, 1e5, 1e4, 1e3})
    if (std::round(seconds.back() * hz) <= static_cast<double>(kMaxTick)) {
      clock = hz;
      break;
    }
  if (clock == 0) fail(file, "the intervals add up to more than 596 hours");
  std::vector<std::int32_t> ticks;
  for (double t : seconds) ticks.push_back(static_cast<std::int32_t>(std::round(t * clock)));
  return beat_recording(file, clock, std::move(ticks));
}

}  // namespace korvel::io
