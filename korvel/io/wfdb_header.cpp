// SPDX-License-Identifier: MIT
#include "korvel/io/wfdb_header.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <type_traits>

#include "korvel/io/file_access.h"
#include "korvel/io/plausible_values.h"
#include "korvel/io/number_text.h"

namespace korvel::io {
namespace {

constexpr int kMaxSamplesPerFrame = 1 << 20;
constexpr std::uint64_t kMaxHeaderBytes = 16u << 20;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

struct Token {
  std::string_view text;
  std::size_t end;  // offset just past the token in its line
};

std::vector<Token> split_fields(std::string_view line, std::size_t max_fields) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (tokens.size() < max_fields) {
    while (i < line.size() && is_space(line[i])) ++i;
    if (i == line.size()) break;
    const std::size_t start = i;
    while (i < line.size() && !is_space(line[i])) ++i;
    tokens.push_back({line.substr(start, i - start), i});
  }
  return tokens;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

class LineParser {
 public:
  LineParser(const std::filesystem::path& source, std::size_t line_number)
      : source_(source), line_number_(line_number) {}

  [[noreturn]] void bad(std::string_view what) const {
    fail(source_, "line " + std::to_string(line_number_) + ": " + std::string(what));
  }

  template <typename Number>
  Number number(std::string_view token, std::string_view field) const {
    const auto value = parse_number<Number>(token);
    if (!value) bad("bad " + std::string(field) + " \"" + std::string(token) + "\"");
    if constexpr (std::is_floating_point_v<Number>) {
      if (!std::isfinite(*value)) bad(std::string(field) + " \"" + std::string(token) + "\" is not finite");
    }
    return *value;
  }

 private:
  const std::filesystem::path& source_;
  std::size_t line_number_;
};

bool is_time_text(std::string_view text) {
  int colons = 0;
  bool dot = false;
  for (char c : text) {
    if (c == ':') {
      if (dot || ++colons > 2) return false;
    } else if (c == '.') {
      if (dot) return false;
      dot = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return !text.empty() && text.front() != ':' && text.back() != ':';
}

bool is_date_text(std::string_view text) {
  // DD/MM/YYYY
  if (text.size() < 5) return false;
  int slashes = 0;
  for (char c : text) {
    if (c == '/') {
      ++slashes;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return slashes == 2;
}

// "360", "250/1000" or "250/1000(0)": frame rate, counter rate and base counter value.
void parse_frequency(std::string_view token, const LineParser& line, WfdbHeader& header) {
  const std::size_t slash = token.find('/');
  header.frequency_hz = line.number<double>(token.substr(0, slash), "sampling frequency");
  if (const std::string problem = sampling_rate_problem(header.frequency_hz); !problem.empty())
    line.bad("sampling frequency " + problem);
  header.counter_frequency_hz = header.frequency_hz;
  if (slash == std::string_view::npos) return;
  std::string_view counter = token.substr(slash + 1);
  const std::size_t paren = counter.find('(');
  if (paren != std::string_view::npos) {
    if (counter.back() != ')') line.bad("bad base counter value in \"" + std::string(token) + "\"");
    header.base_counter =
        line.number<double>(counter.substr(paren + 1, counter.size() - paren - 2), "base counter value");
    counter = counter.substr(0, paren);
  }
  header.counter_frequency_hz = line.number<double>(counter, "counter frequency");
  if (const std::string problem = sampling_rate_problem(header.counter_frequency_hz); !problem.empty())
    line.bad("counter frequency " + problem);
}

void parse_record_line(std::string_view text, const LineParser& line, WfdbHeader& header,
                       std::size_t& declared_signals) {
  const auto fields = split_fields(text, 7);
  if (fields.size() > 6) line.bad("unexpected field \"" + std::string(fields[6].text) + "\" on the record line");
  header.record_name = std::string(fields[0].text);
  if (header.record_name.find('/') != std::string::npos) {
    line.bad("multi-segment record \"" + header.record_name + "\" is not supported");
  }
  declared_signals = 0;
  if (fields.size() > 1) {
    const int count = line.number<int>(fields[1].text, "number of signals");
    if (count < 0) line.bad("negative number of signals");
    declared_signals = static_cast<std::size_t>(count);
  }
  if (fields.size() > 2) parse_frequency(fields[2].text, line, header);
  if (fields.size() > 3) {
    header.frame_count = line.number<std::int64_t>(fields[3].text, "number of samples");
    if (header.frame_count < 0) line.bad("negative number of samples");
  }
  if (fields.size() > 4) {
    if (!is_time_text(fields[4].text)) line.bad("bad base time \"" + std::string(fields[4].text) + "\"");
    header.base_time = std::string(fields[4].text);
  }
  if (fields.size() > 5) {
    if (!is_date_text(fields[5].text)) line.bad("bad base date \"" + std::string(fields[5].text) + "\"");
    header.base_date = std::string(fields[5].text);
  }
}

// "212", "16x4", "16:3", "16+512", "16x4:3+512": format, samples per frame, skew, offset.
void parse_format(std::string_view token, const LineParser& line, WfdbSignalSpec& signal) {
  const std::size_t end_format = token.find_first_of("x:+");
  signal.format = line.number<int>(token.substr(0, end_format), "format");
  if (signal.format < 0) line.bad("bad format \"" + std::string(token) + "\"");
  std::string_view rest = end_format == std::string_view::npos ? std::string_view() : token.substr(end_format);
  auto take = [&](char marker) -> std::string_view {
    if (rest.empty() || rest.front() != marker) return {};
    const std::size_t next = rest.find_first_of("x:+", 1);
    const std::string_view value = rest.substr(1, next == std::string_view::npos ? std::string_view::npos : next - 1);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
    if (value.empty()) line.bad("bad format \"" + std::string(token) + "\"");
    return value;
  };
  if (const auto spf = take('x'); !spf.empty()) {
    signal.samples_per_frame = line.number<int>(spf, "samples per frame");
    if (signal.samples_per_frame < 1 || signal.samples_per_frame > kMaxSamplesPerFrame) {
      line.bad("samples per frame must be 1 to " + std::to_string(kMaxSamplesPerFrame));
    }
  }
  if (const auto skew = take(':'); !skew.empty()) {
    signal.skew = line.number<int>(skew, "skew");
    if (signal.skew < 0) line.bad("negative skew");
  }
  if (const auto offset = take('+'); !offset.empty()) {
    const auto value = line.number<std::int64_t>(offset, "byte offset");
    if (value < 0) line.bad("negative byte offset");
    signal.byte_offset = static_cast<std::uint64_t>(value);
  }
  if (!rest.empty()) line.bad("bad format \"" + std::string(token) + "\"");
}

// "200", "200(1024)", "200(1024)/mV", "26/mV", "61180.79(-4442)/": gain, baseline, units.
// Returns whether a baseline was given.
bool parse_gain(std::string_view token, const LineParser& line, WfdbSignalSpec& signal) {
  const std::size_t slash = token.find('/');
  if (slash != std::string_view::npos) {
    signal.units = std::string(token.substr(slash + 1));
    token = token.substr(0, slash);
  }
  bool has_baseline = false;
  const std::size_t paren = token.find('(');
  if (paren != std::string_view::npos) {
    if (token.back() != ')') line.bad("bad baseline in gain field \"" + std::string(token) + "\"");
    signal.baseline = line.number<int>(token.substr(paren + 1, token.size() - paren - 2), "baseline");
    has_baseline = true;
    token = token.substr(0, paren);
  }
  signal.gain = line.number<double>(token, "gain");
  if (signal.gain == 0) {
    signal.gain = 200.0;
    signal.calibrated = false;
  }
  if (const std::string problem = gain_problem(signal.gain); !problem.empty()) line.bad("gain " + problem);
  return has_baseline;
}

WfdbSignalSpec parse_signal_line(std::string_view text, const LineParser& line, std::size_t index) {
  WfdbSignalSpec signal;
  const auto fields = split_fields(text, 8);
  signal.file_name = std::string(fields[0].text);
  // A header names files beside it (or below it); a name that leaves its folder would let a
  // downloaded header read any file of the user's.
  const std::filesystem::path named(signal.file_name);
  if (named.is_absolute() || std::any_of(named.begin(), named.end(), [](const auto& part) { return part == ".."; }))
    line.bad("signal file \"" + signal.file_name + "\" is outside the header's folder; only files beside the header are read");
  if (fields.size() < 2) line.bad("signal line without a format");
  parse_format(fields[1].text, line, signal);
  bool has_baseline = false;
  if (fields.size() > 2) {
    has_baseline = parse_gain(fields[2].text, line, signal);
  } else {
    signal.calibrated = false;
  }
  if (fields.size() > 3) signal.adc_resolution = line.number<int>(fields[3].text, "ADC resolution");
  if (fields.size() > 4) signal.adc_zero = line.number<int>(fields[4].text, "ADC zero");
  signal.initial_value = fields.size() > 5 ? line.number<int>(fields[5].text, "initial value") : signal.adc_zero;
  if (fields.size() > 6) signal.checksum = line.number<int>(fields[6].text, "checksum");
  if (fields.size() > 7) signal.block_size = line.number<int>(fields[7].text, "block size");
  if (!has_baseline) signal.baseline = signal.adc_zero;
  if (fields.size() == 8) signal.description = std::string(trim(text.substr(fields[7].end)));
  if (signal.description.empty()) signal.description = "signal " + std::to_string(index + 1);
  return signal;
}

}  // namespace

WfdbHeader parse_wfdb_header(std::string_view text, const std::filesystem::path& source) {
  WfdbHeader header;
  bool have_record_line = false;
  std::size_t declared_signals = 0;
  std::size_t line_number = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view raw = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    ++line_number;
    const std::string_view content = trim(raw);
    if (content.empty()) continue;
    if (content.front() == '#') {
      header.comments.emplace_back(trim(content.substr(1)));
      continue;
    }
    const LineParser line(source, line_number);
    if (content.find('\0') != std::string_view::npos) line.bad("contains a NUL byte; not a text header");
    if (!have_record_line) {
      parse_record_line(content, line, header, declared_signals);
      have_record_line = true;
    } else if (header.signals.size() < declared_signals) {
      header.signals.push_back(parse_signal_line(content, line, header.signals.size()));
    } else {
      line.bad("unexpected line; the record line declares " + std::to_string(declared_signals) + " signals");
    }
  }
  if (!have_record_line) fail(source, "no record line; not a WFDB header");
  if (header.signals.size() < declared_signals) {
    fail(source, "the record line declares " + std::to_string(declared_signals) + " signals but " +
                     std::to_string(header.signals.size()) + " signal lines follow");
  }
  return header;
}

WfdbHeader read_wfdb_header(const std::filesystem::path& file) {
  return parse_wfdb_header(read_file_text(file, kMaxHeaderBytes), file);
}

}  // namespace korvel::io
