// SPDX-License-Identifier: MIT
// What the chart of a document shows between two times, for a chart so many columns wide:
// each channel folded into the minimum and maximum of each column (recorded channels, and
// on request the computed ones, which are kept once evaluated: whole up to kKeepWhole
// samples a record, beyond it as the minimum and maximum of each kKeptBlock samples, so
// that a day of seven stage channels stays within a few hundred megabytes), the guide lines
// the extensions set, and the events of every event channel drawn on the channels the
// extension asked for, each with the colour and comment of the extension's event draw
// class.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
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
  // A window holds at most one event per column: with more, markers would only hide the
  // trace, so it holds none and says so, and the chart asks the user to zoom in.

  explicit ChartWindow(korvel::services::DocumentFrame& frame) : frame_(frame) {}

  // {from_s, to_s, duration_s, channels: [{id, name, unit, computed, min, max, guides}],
  //  events: [{t, colour, text, on, channel}], events_omitted}. Throws RequestError for a
  // window that is empty or too many columns.
  nlohmann::json window(const ChartRequest& request);

 private:
  static constexpr std::size_t kKeepWhole = std::size_t{1} << 21;
  static constexpr std::size_t kKeptBlock = 8;

  struct Kept {
    std::int32_t length = -1;
    std::string expression;   // of every computed channel of the document, when kept
    std::size_t block = 1;    // samples per kept value
    std::vector<float> low;   // the samples, or each block's minimum
    std::vector<float> high;  // empty, or each block's maximum
  };
  // Computed channel `index` in `record`, evaluated once per record length and expression.
  const Kept& computed(std::int32_t index, std::int32_t record);
  // Folds the values of a channel an extension calculates, one per event, into the columns.
  void fold_events(ChannelId channel, const ChartRequest& request, double width, std::vector<float>& lo, std::vector<float>& hi);
  // Nothing when the window holds more events than columns.
  std::optional<nlohmann::json> events(const ChartRequest& request, const std::vector<std::int32_t>& targets);

  korvel::services::DocumentFrame& frame_;
  std::map<std::pair<std::int32_t, std::int32_t>, Kept> kept_;
};

}  // namespace korvel_hrv
