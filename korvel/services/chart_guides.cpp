// SPDX-License-Identifier: MIT
#include "korvel/services/chart_guides.h"

#include <cstring>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

constexpr std::uint32_t kLineFlags = 0x21122u;
constexpr std::uint32_t kBandFlags = 0x2121212u;

std::uint32_t expected_fields(std::uint32_t type) {
  switch (type) {
    case kChartGuideLine: return 7;
    case kChartGuideBand: return 9;
    case kChartGuideValue: return 4;
    default: throw_hresult(E_INVALIDARG, "the chart knows no message " + std::to_string(type));
  }
}

}  // namespace

void ChartGuides::take(const ChartMessage& m) {
  const std::uint32_t n = expected_fields(m.type);
  if (m.fieldCount != n || !m.fields)
    throw_hresult(E_INVALIDARG, "chart message " + std::to_string(m.type) + " needs " + std::to_string(n) + " fields");
  const std::uint32_t* f = m.fields;
  auto channel_at = [&](std::uint32_t i) {
    const auto channel = static_cast<std::int32_t>(f[i]);
    if (!has_channel_(channel)) throw_hresult(E_INVALIDARG, "the chart has no channel " + std::to_string(channel));
    return channel;
  };
  auto line_at = [&](std::uint32_t i) {
    if (f[i] != 1 && f[i] != 2) throw_hresult(E_INVALIDARG, "there is no guide line " + std::to_string(f[i]));
    return static_cast<std::int32_t>(f[i]);
  };
  switch (m.type) {
    case kChartGuideLine: {
      if (f[0] != 0 || f[1] != kLineFlags) throw_hresult(E_INVALIDARG, "a guide line message starts with 0, 0x21122");
      GuideLine& line = lines_[{channel_at(2), line_at(3)}];
      line.shown = f[4] != 0;
      line.colour = f[6] & 0xFFFFFF;
      break;
    }
    case kChartGuideBand: {
      if (f[0] != 0 || f[1] != kBandFlags) throw_hresult(E_INVALIDARG, "a guide band message starts with 0, 0x2121212");
      GuideBand& band = bands_[channel_at(2)];
      band.shown = f[3] != 0;
      band.colour = band.shown ? f[4] & 0xFFFFFF : 0;
      break;
    }
    default: {
      const std::pair<std::int32_t, std::int32_t> key{channel_at(0), line_at(1)};
      const std::uint64_t bits = std::uint64_t{f[2]} | (std::uint64_t{f[3]} << 32);
      GuideLine& line = lines_[key];
      std::memcpy(&line.value, &bits, sizeof line.value);
      line.unit = m.text ? utf16_to_utf8(m.text) : std::string();
      break;
    }
  }
  messages_.push_back({m.type, std::vector<std::uint32_t>(f, f + n), m.text ? utf16_to_utf8(m.text) : std::string()});
}

}  // namespace korvel::services
