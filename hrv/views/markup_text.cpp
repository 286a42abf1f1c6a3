// SPDX-License-Identifier: MIT
#include "hrv/views/markup_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace HRV {

namespace {

struct Prefix {
  std::string_view text;
  double factor;
};

// Index 0 is "unknown"; 1 and 8 both mean no prefix.
constexpr std::array<Prefix, 15> kPrefixes{{
    {"?", 1.0},   {"", 1.0},     {"a", 1e18},  {"f", 1e15},   {"p", 1e12},
    {"n", 1e9},   {"\u00b5", 1e6}, {"m", 1e3}, {"", 1.0},     {"k", 1e-3},
    {"M", 1e-6},  {"G", 1e-9},   {"T", 1e-12}, {"P", 1e-15},  {"E", 1e-18},
}};

}  // namespace

// As a stream in the classic locale writes it ("%.6g"), without building a stream: a day's
// views label a hundred thousand points each.
std::string markup_number(double value) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  return std::string(text, end);
}

std::string colour_text(std::uint32_t rgb, double alpha) {
  const auto a = static_cast<unsigned>(std::trunc(std::clamp(alpha, 0.0, 1.0) * 255.0));
  char text[10];
  std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", (rgb >> 16) & 0xFFu, (rgb >> 8) & 0xFFu, rgb & 0xFFu, a);
  return text;
}

std::string_view prefix_text(int index) noexcept {
  return index >= 0 && index < static_cast<int>(kPrefixes.size()) ? kPrefixes[index].text : std::string_view();
}

double prefix_display_factor(int index) noexcept {
  return index >= 0 && index < static_cast<int>(kPrefixes.size()) ? kPrefixes[index].factor : 1.0;
}

std::string escape_markup(std::string_view markup) {
  std::string out;
  out.reserve(markup.size() + 16);
  for (std::size_t i = 0; i < markup.size(); ++i) {
    if (markup[i] == '\'') {
      out += "\\'";
    } else if (markup[i] == '\r' && i + 1 < markup.size() && markup[i + 1] == '\n') {
      out += "\\n\\\r\n";
      ++i;
    } else {
      out += markup[i];
    }
  }
  return out;
}

std::string set_markup_command(std::string_view plotId, std::string_view markup) {
  std::string out = "etch.get_plot('";
  out.append(plotId).append("').set_markup('").append(escape_markup(markup)).append("');");
  return out;
}

std::string data_changed_command(std::string_view plotId, std::string_view plotterId, std::int64_t start) {
  std::string out = "etch.get_plot('";
  out.append(plotId).append("').plotter_data_changed('").append(plotterId).append("', ");
  out.append(std::to_string(start)).append(", 2147483647);");
  return out;
}

}  // namespace HRV
