// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_annotations.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include "korvel/io/file_access.h"
#include "korvel/io/number_text.h"
#include "korvel/io/wfdb_header.h"

namespace korvel::io {
namespace {

constexpr int kSkip = 59;
constexpr int kNum = 60;
constexpr int kSub = 61;
constexpr int kChn = 62;
constexpr int kAux = 63;
constexpr int kNote = 22;
constexpr std::uint64_t kMaxAnnotationBytes = std::uint64_t{1} << 30;

// A 10-bit field read as a signed value, as NUM and CHN store theirs.
int signed10(unsigned value) { return value >= 512 ? static_cast<int>(value) - 1024 : static_cast<int>(value); }

// "## time resolution: 1000" -> 1000.
double time_resolution(const Annotation& note) {
  constexpr std::string_view kPrefix = "## time resolution:";
  if (note.code != kNote || note.time != 0 || !note.aux.starts_with(kPrefix)) return 0.0;
  std::string_view value = std::string_view(note.aux).substr(kPrefix.size());
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  const auto hz = parse_number<double>(value);
  return hz && std::isfinite(*hz) && *hz > 0 ? *hz : 0.0;
}

}  // namespace

AnnotationSet decode_wfdb_annotations(std::span<const std::uint8_t> bytes, const std::filesystem::path& source) {
  AnnotationSet set;
  std::int64_t time = 0;
  int number = 0;
  int channel = 0;
  std::size_t pos = 0;
  bool ended = false;
  auto word_at = [&](std::size_t at) { return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8); };
  auto truncated = [&](std::string_view what) {
    fail(source, "truncated annotation file: " + std::string(what) + " at byte " + std::to_string(pos) +
                     " runs past the end (" + std::to_string(bytes.size()) + " bytes)");
  };
  while (pos + 2 <= bytes.size()) {
    const unsigned word = word_at(pos);
    const std::size_t at = pos;
    pos += 2;
    const int code = static_cast<int>(word >> 10);
    const unsigned field = word & 0x3FFu;
    if (code == 0 && field == 0) {
      ended = true;
      break;
    }
    Annotation* current = set.annotations.empty() ? nullptr : &set.annotations.back();
    switch (code) {
      case kSkip: {
        if (pos + 4 > bytes.size()) {
          pos = at;
          truncated("SKIP increment");
        }
        const std::uint32_t raw = word_at(pos) << 16 | word_at(pos + 2);
        time += static_cast<std::int32_t>(raw);
        pos += 4;
        break;
      }
      case kNum:
        number = signed10(field);
        if (current) current->number = number;
        break;
      case kSub:
        if (current) current->subtype = signed10(field);
        break;
      case kChn:
        channel = signed10(field);
        if (current) current->channel = channel;
        break;
      case kAux: {
        if (pos + field > bytes.size()) {
          pos = at;
          truncated("AUX text of " + std::to_string(field) + " bytes");
        }
        if (current) {
          const auto* text = reinterpret_cast<const char*>(bytes.data() + pos);
          current->aux.assign(text, static_cast<std::size_t>(std::find(text, text + field, '\0') - text));
        }
        pos += field + (field & 1u);
        break;
      }
      default:
        time += field;
        set.annotations.push_back(Annotation{time, code, 0, channel, number, {}});
    }
  }
  // A file cut right after a whole word keeps what it held; half a word is damage.
  if (!ended && pos + 1 == bytes.size()) {
    fail(source, "truncated annotation file: odd length of " + std::to_string(bytes.size()) + " bytes");
  }
  const auto note = std::find_if(set.annotations.begin(), set.annotations.end(),
                                 [](const Annotation& a) { return time_resolution(a) > 0; });
  if (note != set.annotations.end()) set.time_base_hz = time_resolution(*note);
  return set;
}

AnnotationSet read_wfdb_annotations(const std::filesystem::path& file) {
  AnnotationSet set = decode_wfdb_annotations(read_file_bytes(file, kMaxAnnotationBytes), file);
  if (set.time_base_hz > 0) return set;
  std::filesystem::path header_file = file;
  header_file.replace_extension(".hea");
  if (!std::filesystem::exists(header_file)) {
    fail(file, "no \"## time resolution\" note and no header " + header_file.filename().string() +
                   " beside it to give the sampling frequency");
  }
  set.time_base_hz = read_wfdb_header(header_file).frequency_hz;
  return set;
}

bool is_beat_code(int code) {
  return (code >= 1 && code <= 13) || code == 25 || code == 30 || code == 31 || code == 34 || code == 35 ||
         code == 38 || code == 41;
}

std::vector<Annotation> beat_annotations(const std::vector<Annotation>& annotations) {
  std::vector<Annotation> beats;
  std::copy_if(annotations.begin(), annotations.end(), std::back_inserter(beats),
               [](const Annotation& a) { return is_beat_code(a.code); });
  return beats;
}

}  // namespace korvel::io
