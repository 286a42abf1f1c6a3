// SPDX-License-Identifier: MIT
// What the chart of a document shows between two times, for a chart so many columns wide:
// each channel folded into the minimum and maximum of each column (recorded channels, and
// on request the computed ones, whose samples are kept once evaluated), the guide lines
// the extensions set, and the events of every event channel drawn on the channels the
// extension asked for, each with the colour and comment of the extension's event draw
// class.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "korvel/services/document_frame.h"

namespace korvel_hrv {

struct ChartRequest {
  double from = 0;  // seconds
  double to = 0;
  int columns = 800;
  bool computed = false;  // the computed channels too
};

class ChartWindow {
 public:
  // The events of one window are at most this many; beyond it the window says how many
  // it left out, and the chart asks the user to zoom in.
  static constexpr std::size_t kMaxEvents = 20000;

  explicit ChartWindow(korvel::services::DocumentFrame& frame) : frame_(frame) {}

  // {from_s, to_s, duration_s, channels: [{id, name, unit, computed, min, max, guides}],
  //  events: [{t, colour, text, on}], events_left_out}. Throws RequestError for a
  // window that is empty or too many columns.
  nlohmann::json window(const ChartRequest& request);

 private:
  struct Kept {
    std::int32_t length = -1;
    std::string expression;
    std::vector<float> samples;
  };
  // The samples of computed channel `index` in `record`, evaluated once per record length
  // and expression.
  const std::vector<float>& computed(std::int32_t index, std::int32_t record);
  nlohmann::json events(const ChartRequest& request, const std::vector<std::int32_t>& targets, std::size_t& left_out);

  korvel::services::DocumentFrame& frame_;
  std::map<std::pair<std::int32_t, std::int32_t>, Kept> kept_;
};

}  // namespace korvel_hrv
