// SPDX-License-Identifier: MIT
#include "korvel/io/edf_header_check.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/io/file_access.h"

namespace korvel::io {
namespace {

constexpr std::size_t kFixedBytes = 256, kSignalBytes = 256;

class Fields {
 public:
  Fields(const std::filesystem::path& file, std::vector<std::uint8_t> bytes) : file_(file), bytes_(std::move(bytes)) {}

  std::string_view text(std::size_t at, std::size_t size) const {
    return {reinterpret_cast<const char*>(bytes_.data()) + at, size};
  }
  [[noreturn]] void bad(std::string_view field, std::size_t at, std::size_t size, std::string_view why) const {
    std::string shown(trimmed(text(at, size)));
    for (char& c : shown)
      if (c < 0x20 || c > 0x7E) c = '?';
    fail(file_, "header field \"" + std::string(field) + "\" (bytes " + std::to_string(at) + "-" + std::to_string(at + size - 1) +
                    ") is \"" + shown + "\": " + std::string(why));
  }
  std::optional<long long> integer(std::size_t at, std::size_t size) const {
    const std::string_view t = trimmed(text(at, size));
    long long value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
  }
  std::optional<double> number(std::size_t at, std::size_t size) const {
    std::string_view t = trimmed(text(at, size));
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
  }
  std::size_t size() const { return bytes_.size(); }
  std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

 private:
  static std::string_view trimmed(std::string_view t) {
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    return t;
  }
  const std::filesystem::path& file_;
  std::vector<std::uint8_t> bytes_;
};

// "dd.mm.yy" or "hh.mm.ss": two digits, a dot, two digits, a dot, two digits.
bool dotted(std::string_view t) {
  if (t.size() != 8 || t[2] != '.' || t[5] != '.') return false;
  for (std::size_t i : {0, 1, 3, 4, 6, 7})
    if (t[i] < '0' || t[i] > '9') return false;
  return true;
}

}  // namespace

void check_edf_header(const std::filesystem::path& file) {
  const Fields fixed(file, read_file_prefix(file, kFixedBytes));
  const bool bdf = fixed[0] == 0xFF;
  if (bdf ? fixed.text(1, 7) != "BIOSEMI" : fixed.text(0, 8) != "0       ")
    fixed.bad("version", 0, 8, "an EDF file begins with \"0\", a BDF file with byte 255 and \"BIOSEMI\"");
  for (std::size_t i = bdf ? 1 : 0; i < kFixedBytes; ++i)
    if (fixed[i] < 0x20 || fixed[i] > 0x7E) fixed.bad("header", i, 1, "not printable ASCII");
  if (!dotted(fixed.text(168, 8))) fixed.bad("start date", 168, 8, "not dd.mm.yy");
  if (!dotted(fixed.text(176, 8))) fixed.bad("start time", 176, 8, "not hh.mm.ss");
  const auto signals = fixed.integer(252, 4);
  if (!signals || *signals < 1) fixed.bad("number of signals", 252, 4, "not a whole number of 1 or more");
  const auto header_bytes = fixed.integer(184, 8);
  const auto expected = static_cast<long long>(kFixedBytes + kSignalBytes * static_cast<std::size_t>(*signals));
  if (header_bytes != expected)
    fixed.bad("header size", 184, 8, "not " + std::to_string(expected) + ", the size of a header of " + std::to_string(*signals) + " signal(s)");
  const auto records = fixed.integer(236, 8);
  if (!records || *records < -1) fixed.bad("number of data records", 236, 8, "not a whole number (-1 while recording)");
  const auto duration = fixed.number(244, 8);
  if (!duration || !(*duration > 0)) fixed.bad("data record duration", 244, 8, "not a positive number of seconds");

  const std::size_t n = static_cast<std::size_t>(*signals);
  const Fields all(file, read_file_prefix(file, static_cast<std::uint64_t>(expected)));
  if (all.size() < static_cast<std::size_t>(expected))
    fail(file, "the header of " + std::to_string(n) + " signal(s) needs " + std::to_string(expected) + " bytes; the file has " +
                   std::to_string(all.size()));
  // Each field of the signal headers is an array of one entry per signal.
  auto at = [&](std::size_t offset, std::size_t width, std::size_t signal) { return kFixedBytes + offset * n + width * signal; };
  const long long digital_limit = bdf ? 8388607 : 32767;
  std::uint64_t record_bytes = 0;
  for (std::size_t i = kFixedBytes; i < static_cast<std::size_t>(expected); ++i)
    if (all[i] < 0x20 || all[i] > 0x7E) all.bad("signal header", i, 1, "not printable ASCII");
  for (std::size_t s = 0; s < n; ++s) {
    const std::string which = "signal " + std::to_string(s + 1) + " ";
    const auto physical_min = all.number(at(104, 8, s), 8), physical_max = all.number(at(112, 8, s), 8);
    if (!physical_min) all.bad(which + "physical minimum", at(104, 8, s), 8, "not a number");
    if (!physical_max || *physical_max == *physical_min)
      all.bad(which + "physical maximum", at(112, 8, s), 8, "not a number different from the physical minimum");
    const auto digital_min = all.integer(at(120, 8, s), 8), digital_max = all.integer(at(128, 8, s), 8);
    if (!digital_min || *digital_min < -digital_limit - 1 || *digital_min > digital_limit)
      all.bad(which + "digital minimum", at(120, 8, s), 8, "not a whole number in the sample range");
    if (!digital_max || *digital_max <= *digital_min || *digital_max > digital_limit)
      all.bad(which + "digital maximum", at(128, 8, s), 8, "not a whole number above the digital minimum in the sample range");
    const auto samples = all.integer(at(216, 8, s), 8);
    if (!samples || *samples < 1 || *samples > (1 << 24))
      all.bad(which + "samples per data record", at(216, 8, s), 8, "not a whole number from 1 to 16777216");
    record_bytes += static_cast<std::uint64_t>(*samples) * (bdf ? 3 : 2);
  }
  const std::uint64_t size = checked_file_size(file), data = size - static_cast<std::uint64_t>(expected);
  if (*records >= 0 && data / record_bytes < static_cast<std::uint64_t>(*records))
    fail(file, "the header gives " + std::to_string(*records) + " data records of " + std::to_string(record_bytes) +
                   " bytes, but the file holds " + std::to_string(data) + " bytes after the header: it was cut short");
}

}  // namespace korvel::io
