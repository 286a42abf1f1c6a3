// SPDX-License-Identifier: MIT
#include "korvel/services/chart_view.h"

#include <string>
#include <tuple>

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

std::string text(TickPosition p) {
  std::string s("(");
  s.append(std::to_string(p.record)).append(", ").append(std::to_string(p.tick)).append(")");
  return s;
}

}  // namespace

void ChartView::check_inside(TickPosition at) const {
  std::int32_t records = 0, length = -1;
  check_hresult(data_->GetRecordCount(&records));
  if (at.record < 0 || at.record >= records || at.tick < 0) throw_hresult(E_INVALIDARG, "position " + text(at) + " is outside the data");
  check_hresult(data_->GetRecordLength(at.record, &length));
  if (at.tick > length) throw_hresult(E_INVALIDARG, "position " + text(at) + " is outside the data");
}

void ChartView::check_channel(ChannelId channel) const {
  if (!channel.found()) return;
  Bstr name;
  if (FAILED(data_->GetChannelName(channel, name.put()))) throw_hresult(E_INVALIDARG, "no channel " + std::to_string(channel.index));
}

void ChartView::select_point(TickPosition at, ChannelId channel) {
  check_inside(at);
  check_channel(channel);
  selection_ = {kSelectionPoint, at, at, channel, std::nullopt};
}

void ChartView::select_range(TickPosition start, TickPosition end, ChannelId channel) {
  check_inside(start);
  check_inside(end);
  if (end < start) throw_hresult(E_INVALIDARG, "a range that ends at " + text(end) + " before it starts at " + text(start));
  check_channel(channel);
  selection_ = {kSelectionRange, start, end, channel, std::nullopt};
}

HRESULT ChartView::GetSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end, ChannelId* channel,
                                double* lowValue, double* highValue) {
  if (!kind || !start || !end || !channel || !lowValue || !highValue) return E_POINTER;
  if (*kind != kSelectionQueryStart) return E_INVALIDARG;
  *kind = selection_.kind;
  *start = selection_.start;
  *end = selection_.end;
  *channel = selection_.channel;
  if (selection_.limits) std::tie(*lowValue, *highValue) = *selection_.limits;
  return S_OK;
}

HRESULT ChartView::SetSelection(std::uint32_t kind, TickPosition start, TickPosition end, ChannelId channel,
                                double lowValue, double highValue) {
  return guard([&] {
    if (kind == kSelectionNone) {
      clear();
      return S_OK;
    }
    if (!(lowValue <= highValue)) return E_INVALIDARG;
    switch (kind) {
      case kSelectionPoint: select_point(start, channel); break;
      case kSelectionRange: select_range(start, end, channel); break;
      default: return E_INVALIDARG;
    }
    selection_.limits.emplace(lowValue, highValue);
    return S_OK;
  });
}

HRESULT ChartView::ShowPosition(TickPosition position) {
  return guard([&] {
    check_inside(position);
    shown_ = position;
    return S_OK;
  });
}

}  // namespace korvel::services
