// SPDX-License-Identifier: MIT
// A document's chart view: the user's selection (none, a marker position, or a range of
// data on a channel, with optional value limits) and the position scrolled into view.
// Nobody drags a mouse over this host: tools and tests make the selection through the
// plain accessors, extensions read and set it through IChartView.
#pragma once

#include <optional>

#include "sdk/cpp/com_object.h"
#include "sdk/host/chart.h"
#include "sdk/host/document_data.h"

namespace korvel::services {

struct Selection {
  std::uint32_t kind = kSelectionNone;
  TickPosition start = TickPosition::unset();
  TickPosition end = TickPosition::unset();  // a point ends where it starts
  ChannelId channel = ChannelId::not_found();
  // Value limits, when the selection was set with them.
  std::optional<std::pair<double, double>> limits;
};

class ChartView final : public ComObject<IChartView> {
 public:
  // Positions are checked against `data` (in, kept).
  explicit ChartView(ComPtr<IDocumentData> data) : data_(std::move(data)) {}

  const Selection& selection() const noexcept { return selection_; }
  // The last position an extension asked to show.
  std::optional<TickPosition> shown() const noexcept { return shown_; }

  // Throw HResultError (E_INVALIDARG) for positions outside the recorded data or a range
  // that ends before it starts.
  void select_point(TickPosition at, ChannelId channel = ChannelId::not_found());
  void select_range(TickPosition start, TickPosition end, ChannelId channel = ChannelId::not_found());
  void clear() noexcept { selection_ = Selection{}; }

  // The kind in/out starts at kSelectionQueryStart (anything else is E_INVALIDARG, so a
  // caller that forgot to initialise it hears about it); the value limits keep what the
  // caller passed unless the selection carries its own.
  HRESULT GetSelection(std::uint32_t* kind, TickPosition* start, TickPosition* end, ChannelId* channel, double* lowValue,
                       double* highValue) override;
  // kSelectionNone clears; a point takes `start` (and ignores `end`); a range needs
  // start <= end inside the data. E_INVALIDARG otherwise, and for an unknown kind.
  HRESULT SetSelection(std::uint32_t kind, TickPosition start, TickPosition end, ChannelId channel, double lowValue,
                       double highValue) override;
  // E_INVALIDARG for a position outside the recorded data.
  HRESULT ShowPosition(TickPosition position) override;

 private:
  void check_inside(TickPosition at) const;
  void check_channel(ChannelId channel) const;

  ComPtr<IDocumentData> data_;
  Selection selection_;
  std::optional<TickPosition> shown_;
};

}  // namespace korvel::services
