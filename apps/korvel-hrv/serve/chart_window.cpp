// SPDX-License-Identifier: MIT
#include "apps/korvel-hrv/serve/chart_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <span>

#include "apps/korvel-hrv/serve/workspace.h"
#include "korvel/services/session.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/event_draw.h"

namespace korvel_hrv {

namespace {

// The beat record's size: the events the extension's draw class draws.
constexpr ULONG kBeatEventSize = 80;
constexpr int kMaxColumns = 8192;

std::string css_colour(std::uint32_t colorref) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
  return text;
}

std::string rgb_colour(std::uint32_t rgb) { return css_colour(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF)); }

// Folds the `length` samples of a record, read through `read` a block at a time, starting
// at `start` seconds, `dt` apart, into the columns
// of [from, from + columns × width): column k takes the samples whose times fall in
// [from + k × width, from + (k + 1) × width).
void fold(std::size_t length, const std::function<void(std::size_t, std::size_t, float*)>& read, double start, double dt,
          double from, double width, std::vector<float>& lo, std::vector<float>& hi) {
  const auto n = static_cast<double>(length);
  // The first sample at or after time t, clamped to the record.
  auto index_at = [&](double t) { return static_cast<std::size_t>(std::clamp(std::ceil((t - start) / dt - 1e-9), 0.0, n)); };
  const std::size_t last = index_at(from + static_cast<double>(lo.size()) * width);
  std::vector<float> block;  // samples [at, at + block.size()), read a block at a time
  std::size_t at = 0;
  for (std::size_t k = 0; k < lo.size(); ++k) {
    const std::size_t a = index_at(from + static_cast<double>(k) * width);
    const std::size_t b = index_at(from + static_cast<double>(k + 1) * width);
    float low = lo[k], high = hi[k];
    for (std::size_t i = a; i < b; ++i) {
      if (i < at || i >= at + block.size()) {
        at = i;
        block.resize(std::min<std::size_t>(1 << 16, last - i));
        read(at, block.size(), block.data());
      }
      const float v = block[i - at];
      if (!std::isfinite(v)) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    lo[k] = low;
    hi[k] = high;
  }
}

}  // namespace

void ChartWindow::fold_events(ChannelId channel, const ChartRequest& request, double width, std::vector<float>& lo,
                              std::vector<float>& hi) {
  auto& data = frame_.data();
  const auto& d = data.document();
  TickPosition end;
  data.GetEndOfData(&end);
  ComPtr<IEventReader> reader;
  ULONG size = 0;
  if (data.OpenEventReader(channel, {0, 0}, end, reader.put()) != S_OK || !reader || reader->GetEventSize(&size) != S_OK ||
      size < sizeof(CalcEventHeader) + sizeof(double))
    return;
  std::vector<std::uint8_t> batch(static_cast<std::size_t>(size) * 512);
  std::vector<std::int32_t> records(512);
  ULONG count = 0;
  while (reader->Read(batch.data(), 512, records.data(), &count) == S_OK && count > 0)
    for (ULONG i = 0; i < count; ++i) {
      const std::uint8_t* event = batch.data() + static_cast<std::size_t>(i) * size;
      CalcEventHeader header;
      double value = 0;
      std::memcpy(&header, event, sizeof header);
      std::memcpy(&value, event + sizeof header, sizeof value);
      const double t = d.record_start(records[i]) + (header.tick + header.fraction) * d.tick_interval(records[i]);
      const double c = std::floor((t - request.from) / width);
      if (c < 0 || c >= static_cast<double>(lo.size()) || !std::isfinite(value)) continue;
      const auto k = static_cast<std::size_t>(c);
      lo[k] = std::min(lo[k], static_cast<float>(value));
      hi[k] = std::max(hi[k], static_cast<float>(value));
    }
}

namespace {

nlohmann::json column_values(const std::vector<float>& values) {
  nlohmann::json out = nlohmann::json::array();
  for (float v : values) out.push_back(std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr));
  return out;
}

}  // namespace

const ChartWindow::Kept& ChartWindow::computed(std::int32_t index, std::int32_t record) {
  auto& channels = frame_.data().channels();
  Kept& kept = kept_[{index, record}];
  const std::int32_t length = frame_.data().document().record_length(record);
  // A stage depends on the stages before it: what is kept is valid while no expression of
  // the document changed (the preview redefining its low-pass changes its envelope too).
  std::string expression;
  for (const std::int32_t other : channels.indexes()) expression += channels.expression(other) + '\n';
  if (kept.length == length && kept.expression == expression) return kept;
  kept.length = -1;  // until the samples are all in
  kept.low.clear();
  kept.high.clear();
  kept.block = static_cast<std::size_t>(length) <= kKeepWhole ? 1 : kKeptBlock;
  std::size_t i = 0;  // samples taken so far
  if (channels.has_data(index, record)) channels.read_samples(index, record, [&](std::span<const float> block) {
    if (kept.block == 1) {
      kept.low.insert(kept.low.end(), block.begin(), block.end());
      return;
    }
    for (const float v : block) {
      if (i % kKeptBlock == 0) {
        kept.low.push_back(std::numeric_limits<float>::infinity());
        kept.high.push_back(-std::numeric_limits<float>::infinity());
      }
      kept.low.back() = std::min(kept.low.back(), v);
      kept.high.back() = std::max(kept.high.back(), v);
      ++i;
    }
  });
  kept.length = length;
  kept.expression = expression;
  return kept;
}

std::optional<nlohmann::json> ChartWindow::events(const ChartRequest& request, const std::vector<std::int32_t>& targets) {
  auto& data = frame_.data();
  const auto& d = data.document();
  nlohmann::json out = nlohmann::json::array();
  ComPtr<IEventDrawPolicy> draw;
  for (const auto& c : frame_.session().application().extensions()->classes())
    if (c.category == kEventDrawCategory && (draw = c.object.query<IEventDrawPolicy>())) break;
  // The window as positions: the first record that reaches `from`, the last that starts before `to`.
  TickPosition from{0, 0}, to{0, 0};
  data.GetEndOfData(&to);
  for (std::int32_t r = 0; r < d.record_count(); ++r) {
    const double start = d.record_start(r), dt = d.tick_interval(r);
    const double end = start + d.record_length(r) * dt;
    if (end < request.from) from = {d.record_length(r), r};
    else if (start <= request.from) from = {static_cast<std::int32_t>(std::floor((request.from - start) / dt)), r};
    if (start <= request.to && request.to < end) to = {static_cast<std::int32_t>(std::ceil((request.to - start) / dt)), r};
  }
  for (const std::int32_t index : data.channels().indexes()) {
    if (data.channels().kind(index) != korvel::expr::ValueKind::Events) continue;
    const ChannelId channel{index, ChannelId::kComputedReference};
    nlohmann::json on = nlohmann::json::array();
    for (const std::int32_t target : targets) {
      VARIANT_BOOL shown = VARIANT_FALSE;
      if (data.IsShowingEventsOn(channel, target, &shown) == S_OK && shown) on.push_back(target);
    }
    if (on.empty()) continue;
    ComPtr<IEventReader> reader;
    ULONG size = 0;
    if (data.OpenEventReader(channel, from, to, reader.put()) != S_OK || !reader || reader->GetEventSize(&size) != S_OK || size == 0) continue;
    std::vector<std::uint8_t> batch(static_cast<std::size_t>(size) * 512);
    std::vector<std::int32_t> records(512);
    ULONG count = 0;
    while (reader->Read(batch.data(), 512, records.data(), &count) == S_OK && count > 0) {
      for (ULONG i = 0; i < count; ++i) {
        const std::uint8_t* event = batch.data() + static_cast<std::size_t>(i) * size;
        CalcEventHeader header;
        std::memcpy(&header, event, sizeof header);
        const double t = d.record_start(records[i]) + (header.tick + header.fraction) * d.tick_interval(records[i]);
        if (t < request.from || t > request.to) continue;
        if (out.size() >= static_cast<std::size_t>(request.columns)) return std::nullopt;
        std::uint32_t colour = 0x808080;
        Bstr text;
        if (draw && size == kBeatEventSize) {
          draw->GetColour(0, event, &colour);
          draw->GetText(0, 0, 0, 0, 0, event, text.put());
        }
        out.push_back({{"t", t}, {"colour", css_colour(colour)}, {"text", text.get() ? text.utf8() : std::string()}, {"on", on},
                       {"channel", index}});
      }
    }
  }
  return out;
}

nlohmann::json ChartWindow::window(const ChartRequest& request) {
  if (!(request.to > request.from) || !std::isfinite(request.from) || !std::isfinite(request.to))
    throw RequestError(400, "a chart window needs from < to, in seconds");
  if (request.columns < 1 || request.columns > kMaxColumns)
    throw RequestError(400, "a chart is 1 to " + std::to_string(kMaxColumns) + " columns wide");
  auto& data = frame_.data();
  const auto& d = data.document();
  const auto columns = static_cast<std::size_t>(request.columns);
  const double width = (request.to - request.from) / request.columns;
  double duration = 0;
  if (d.record_count() > 0) {
    const std::int32_t last = d.record_count() - 1;
    duration = d.record_start(last) + d.record_length(last) * d.tick_interval(last);
  }
  nlohmann::json channels = nlohmann::json::array();
  std::vector<std::int32_t> targets;
  // `fold_record(r, lo, hi)` folds the channel's record r into the columns.
  auto add = [&](std::int32_t id, bool is_computed, auto fold_record) {
    std::vector<float> lo(columns, std::numeric_limits<float>::infinity()), hi(columns, -std::numeric_limits<float>::infinity());
    for (std::int32_t r = 0; r < d.record_count(); ++r) fold_record(r, lo, hi);
    for (std::size_t k = 0; k < columns; ++k)
      if (lo[k] > hi[k]) lo[k] = hi[k] = std::numeric_limits<float>::quiet_NaN();
    Bstr name, unit;
    const ChannelId channel = is_computed ? ChannelId{id, ChannelId::kComputedReference} : ChannelId{id, ChannelId::kDefaultKind};
    data.GetChannelName(channel, name.put());
    data.GetChannelUnit(channel, unit.put());
    nlohmann::json guides = nlohmann::json::array();
    for (const auto& [key, line] : frame_.chart_guides().lines())
      if (key.first == id && line.shown) guides.push_back({{"value", line.value}, {"colour", rgb_colour(line.colour)}});
    channels.push_back({{"id", id},
                        {"name", name.get() ? name.utf8() : std::string()},
                        {"unit", unit.get() ? unit.utf8() : std::string()},
                        {"computed", is_computed},
                        {"min", column_values(lo)},
                        {"max", column_values(hi)},
                        {"guides", std::move(guides)}});
    targets.push_back(id);
  };
  for (std::int32_t c = 0; c < d.channel_count(); ++c)
    add(c, false, [&](std::int32_t r, std::vector<float>& lo, std::vector<float>& hi) {
      const std::size_t length = d.has_data(r, c) ? static_cast<std::size_t>(d.record_length(r)) : 0;
      fold(length, [&](std::size_t from, std::size_t n, float* out) { d.read(r, c, from, n, out); }, d.record_start(r), d.tick_interval(r),
           request.from, width, lo, hi);
    });
  // Channels an extension calculates hold one value per event (per beat, for the HRV
  // calculation): each value falls into the column of its time.
  for (const auto& calculated : frame_.calculated_channels())
    add(calculated.channel.index, true, [&](std::int32_t r, std::vector<float>& lo, std::vector<float>& hi) {
      if (r > 0) return;  // the reader walks every record at once
      fold_events(calculated.channel, request, width, lo, hi);
    });
  if (request.computed)
    for (const std::int32_t index : data.channels().indexes())
      if (data.channels().kind(index) == korvel::expr::ValueKind::Sampled)
        add(index, true, [&](std::int32_t r, std::vector<float>& lo, std::vector<float>& hi) {
          const Kept& kept = computed(index, r);
          const double dt = d.tick_interval(r) * static_cast<double>(kept.block);
          for (const std::vector<float>* values : {&kept.low, &kept.high})
            fold(values->size(), [values](std::size_t from, std::size_t n, float* out) { std::copy_n(values->begin() + static_cast<std::ptrdiff_t>(from), n, out); },
                 d.record_start(r), dt, request.from, width, lo, hi);
        });
  auto events = this->events(request, targets);
  return {{"from_s", request.from},
          {"to_s", request.to},
          {"duration_s", duration},
          {"channels", std::move(channels)},
          {"events", events ? std::move(*events) : nlohmann::json::array()},
          {"events_omitted", !events}};
}

}  // namespace korvel_hrv
