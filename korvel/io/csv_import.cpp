// SPDX-License-Identifier: MIT
#include "korvel/io/csv_import.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "korvel/io/file_access.h"
#include "korvel/io/plausible_values.h"
#include "korvel/io/number_text.h"

namespace korvel::io {
namespace {

constexpr std::uint64_t kMaxTextBytes = std::uint64_t{2} << 30;
constexpr double kRelativeStepTolerance = 0.01;

struct TextLine {
  std::size_t number = 0;  // 1-based
  std::string_view text;
};

// Lines with content: blank lines and '#' comments are skipped, CR before LF dropped.
class Lines {
 public:
  explicit Lines(std::string_view text) : rest_(text) {
    if (rest_.starts_with("\xEF\xBB\xBF")) rest_.remove_prefix(3);  // UTF-8 byte order mark
  }

  std::optional<TextLine> next() {
    while (!rest_.empty()) {
      const std::size_t newline = rest_.find('\n');
      std::string_view line = rest_.substr(0, newline);
      rest_ = newline == std::string_view::npos ? std::string_view() : rest_.substr(newline + 1);
      ++number_;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos || line[first] == '#') continue;
      return TextLine{number_, line};
    }
    return std::nullopt;
  }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
};

std::string lower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return std::tolower(c); });
  return result;
}

std::string_view trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string format_number(double value) {
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

char detect_delimiter(std::string_view line) {
  for (char candidate : {'\t', ';', ','}) {
    if (line.find(candidate) != std::string_view::npos) return candidate;
  }
  return '\0';  // one column
}

// Fields of a line; double quotes protect delimiters, "" inside quotes is a quote.
std::vector<std::string> split_fields(std::string_view line, char delimiter) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (delimiter != '\0' && c == delimiter) {
      fields.emplace_back(trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.emplace_back(trim(field));
  return fields;
}

// NaN for an empty field, "nan" or "NA"; nothing when the field is not a number.
std::optional<double> parse_value(std::string& field, bool decimal_comma) {
  if (field.empty()) return std::numeric_limits<double>::quiet_NaN();
  const std::string folded = lower(field);
  if (folded == "nan" || folded == "na") return std::numeric_limits<double>::quiet_NaN();
  if (decimal_comma && field.find('.') == std::string::npos) std::replace(field.begin(), field.end(), ',', '.');
  return parse_number<double>(field);
}

// One unit in the last decimal a time is written with; 0 with an exponent (no such unit).
float written_resolution(std::string_view field) {
  if (field.find_first_of("eE") != std::string_view::npos) return 0.0f;
  const std::size_t point = field.find_first_of(".,");
  if (point == std::string_view::npos) return 1.0f;
  return static_cast<float>(std::pow(10.0, -static_cast<double>(field.size() - point - 1)));
}

// "ECG (mV)" or "ECG [mV]" -> {"ECG", "mV"}.
std::pair<std::string, std::string> name_and_unit(std::string_view heading) {
  for (const auto& [open, close] : {std::pair{'(', ')'}, std::pair{'[', ']'}}) {
    const std::size_t start = heading.rfind(open);
    if (start != std::string_view::npos && start > 0 && heading.back() == close) {
      return {std::string(trim(heading.substr(0, start))),
              std::string(trim(heading.substr(start + 1, heading.size() - start - 2)))};
    }
  }
  return {std::string(heading), std::string()};
}

// Seconds per unit of a column that a heading names as time; 0 when it is not time.
double time_scale(const std::string& name, const std::string& unit, const std::filesystem::path& source,
                  std::size_t line) {
  static constexpr std::array<std::string_view, 9> kSeconds = {"time",   "t",       "s",      "sec",         "secs",
                                                               "second", "seconds", "time_s", "elapsed time"};
  static constexpr std::array<std::string_view, 3> kMilliseconds = {"time_ms", "t_ms", "ms"};
  const std::string folded = lower(name);
  double scale = 0.0;
  if (std::find(kSeconds.begin(), kSeconds.end(), folded) != kSeconds.end()) scale = 1.0;
  if (std::find(kMilliseconds.begin(), kMilliseconds.end(), folded) != kMilliseconds.end()) scale = 1e-3;
  if (scale == 0.0 || unit.empty()) return scale;
  const std::string folded_unit = lower(unit);
  if (folded_unit == "s" || folded_unit == "sec" || folded_unit == "seconds") return 1.0;
  if (folded_unit == "ms" || folded_unit == "msec") return 1e-3;
  fail(source, "line " + std::to_string(line) + ": time unit \"" + unit + "\" is not understood; use s or ms");
}

struct TimeColumn {
  std::vector<double> values;
  std::vector<float> resolution;
  std::vector<std::uint32_t> lines;
};

bool strictly_increasing(const std::vector<double>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isfinite(values[i]) || (i > 0 && !(values[i] > values[i - 1]))) return false;
  }
  return values.size() > 1;
}

// Seconds per tick (in the column's unit); refuses steps that are not regular.
double regular_step(const TimeColumn& time, const std::filesystem::path& source) {
  const std::vector<double>& t = time.values;
  auto at_line = [&](std::size_t i) { return "line " + std::to_string(time.lines[i]) + ": "; };
  if (!std::isfinite(t[0])) fail(source, at_line(0) + "time is not a number");
  std::vector<double> steps(t.size() - 1);
  for (std::size_t i = 1; i < t.size(); ++i) {
    steps[i - 1] = t[i] - t[i - 1];
    if (!(steps[i - 1] > 0) || !std::isfinite(steps[i - 1])) {
      fail(source, at_line(i) + "time " + format_number(t[i]) + " does not follow " + format_number(t[i - 1]));
    }
  }
  std::vector<double> sorted = steps;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double median = sorted[sorted.size() / 2];
  for (std::size_t i = 1; i < t.size(); ++i) {
    // Rounding each written time moves a step by up to one unit of the last decimal; times
    // written too coarsely for that to be under half a step cannot show a gap otherwise.
    const double rounding = std::min<double>(std::max(time.resolution[i], time.resolution[i - 1]), median / 2);
    const double tolerance = kRelativeStepTolerance * median + rounding;
    if (std::abs(steps[i - 1] - median) > tolerance) {
      fail(source, at_line(i) + "time step " + format_number(steps[i - 1]) + " from " + format_number(t[i - 1]) +
                       " differs from the usual " + format_number(median) +
                       "; irregular or interrupted sampling is not supported");
    }
  }
  return (t.back() - t.front()) / static_cast<double>(t.size() - 1);
}

}  // namespace

Record parse_delimited_text(std::string_view text, double sampling_rate_hz, const std::filesystem::path& source) {
  Lines lines(text);
  const std::optional<TextLine> first = lines.next();
  if (!first) fail(source, "no data: the file is empty");
  const char delimiter = detect_delimiter(first->text);
  const bool decimal_comma = delimiter == '\t' || delimiter == ';';
  // Counted before a field is split out: a one-line file of 10 MB would otherwise be five
  // million channels, each with its name and its buffer.
  constexpr std::size_t kMaxColumns = 1024;
  if (const auto fields = static_cast<std::size_t>(std::count(first->text.begin(), first->text.end(), delimiter)) + 1; fields > kMaxColumns)
    fail(source, "line " + std::to_string(first->number) + ": " + std::to_string(fields) + " columns; at most " +
                     std::to_string(kMaxColumns) + " (a time column and the channels) are read");

  std::vector<std::string> first_fields = split_fields(first->text, delimiter);
  const std::size_t columns = first_fields.size();
  const bool has_header = std::any_of(first_fields.begin(), first_fields.end(), [&](std::string field) {
    return !parse_value(field, decimal_comma).has_value();
  });
  std::vector<Channel> channels(columns);
  double scale = 0.0;
  if (has_header) {
    for (std::size_t c = 0; c < columns; ++c)
      std::tie(channels[c].name, channels[c].unit) = name_and_unit(first_fields[c]);
    scale = time_scale(channels[0].name, channels[0].unit, source, first->number);
  } else {
    for (std::size_t c = 0; c < columns; ++c) channels[c].name = "channel " + std::to_string(c + 1);
  }

  TimeColumn first_column;
  for (std::optional<TextLine> row = has_header ? lines.next() : first; row; row = lines.next()) {
    std::vector<std::string> fields = split_fields(row->text, delimiter);
    const std::string at_line = "line " + std::to_string(row->number) + ": ";
    if (fields.size() != columns) {
      fail(source,
           at_line + std::to_string(fields.size()) + " fields where the first line has " + std::to_string(columns));
    }
    for (std::size_t c = 0; c < columns; ++c) {
      const std::optional<double> value = parse_value(fields[c], decimal_comma);
      if (!value) {
        fail(source, at_line + "column " + std::to_string(c + 1) + " (" + channels[c].name + "): \"" + fields[c] +
                         "\" is not a number");
      }
      if (c == 0) {
        first_column.values.push_back(*value);
        first_column.resolution.push_back(written_resolution(fields[0]));
        first_column.lines.push_back(static_cast<std::uint32_t>(row->number));
      } else {
        channels[c].samples.push_back(static_cast<float>(*value));
      }
    }
  }
  if (first_column.values.empty()) fail(source, "no data rows");

  if (scale == 0.0 && !(sampling_rate_hz > 0) && columns > 1 && strictly_increasing(first_column.values)) scale = 1.0;
  Record record;
  if (scale > 0.0) {
    if (columns == 1) fail(source, "only a time column; no channels");
    if (first_column.values.size() > 1) {
      record.tick_interval_s = regular_step(first_column, source) * scale;
    } else if (sampling_rate_hz > 0) {
      check_sampling_rate(source, "sampling rate given", sampling_rate_hz);
      record.tick_interval_s = 1.0 / sampling_rate_hz;
    } else {
      fail(source, "one data row gives no sampling interval, and no sampling rate was given");
    }
    check_sampling_rate(source, "the time column's sampling rate", 1.0 / record.tick_interval_s);
    if (!std::isfinite(first_column.values[0])) fail(source, "first time is not a number");
    record.start_time_s = first_column.values[0] * scale;
    channels.erase(channels.begin());
  } else {
    if (!(sampling_rate_hz > 0)) fail(source, "no time column (name the first column \"time\") and no sampling rate given");
    check_sampling_rate(source, "sampling rate given", sampling_rate_hz);
    record.tick_interval_s = 1.0 / sampling_rate_hz;
    channels[0].samples.assign(first_column.values.begin(), first_column.values.end());
  }
  record.channels = std::move(channels);
  return record;
}

Recording read_delimited_text(const std::filesystem::path& file, double sampling_rate_hz) {
  Recording recording;
  recording.name = recording_name(file);
  recording.source = file.string();
  recording.records.push_back(parse_delimited_text(read_file_text(file, kMaxTextBytes), sampling_rate_hz, file));
  return recording;
}

}  // namespace korvel::io
