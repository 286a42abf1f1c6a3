// SPDX-License-Identifier: MIT
// How the chart draws a document's channels beyond their data: two guide lines per
// channel at given values, and the band between them. Extensions set them through chart
// messages (sdk/host/channel_calc.h); every message taken is kept, in order.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sdk/host/channel_calc.h"

namespace korvel::services {

struct GuideLine {
  double value = 0.0;
  std::string unit;
  bool shown = false;
  std::uint32_t colour = 0;  // 0x00RRGGBB
};

struct GuideBand {
  bool shown = false;
  std::uint32_t colour = 0;
};

struct TakenMessage {
  std::uint32_t type = 0;
  std::vector<std::uint32_t> fields;
  std::string text;
};

class ChartGuides {
 public:
  // `has_channel` says whether the document has a channel of that index.
  explicit ChartGuides(std::function<bool(std::int32_t)> has_channel) : has_channel_(std::move(has_channel)) {}

  // Throws HResultError (E_INVALIDARG) for an unknown type, the wrong number of fields, an
  // unknown channel or a line number other than 1 and 2; nothing changes then.
  void take(const ChartMessage& message);

  // Keyed by (channel index, line number).
  const std::map<std::pair<std::int32_t, std::int32_t>, GuideLine>& lines() const noexcept { return lines_; }
  const std::map<std::int32_t, GuideBand>& bands() const noexcept { return bands_; }
  const std::vector<TakenMessage>& messages() const noexcept { return messages_; }

 private:
  std::function<bool(std::int32_t)> has_channel_;
  std::map<std::pair<std::int32_t, std::int32_t>, GuideLine> lines_;
  std::map<std::int32_t, GuideBand> bands_;
  std::vector<TakenMessage> messages_;
};

}  // namespace korvel::services
