// SPDX-License-Identifier: MIT
// What a host document holds behind its interfaces: the recorded data, the computed
// channels with the calculations attached to them, the chart data, and which event
// channels are shown as markers on which channels. Shared by the document's interfaces,
// its calculations and its event readers; calculations hold it weakly, so that a
// calculation attached to a channel does not keep its document alive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "korvel/app/chart_data.h"
#include "korvel/calc/computed_channels.h"
#include "korvel/calc/function_table.h"
#include "korvel/doc/document.h"
#include "sdk/host/channel_id.h"

namespace korvel::app {

struct ChannelRef {
  bool computed = false;
  std::int32_t index = 0;
};

class DocumentCore {
 public:
  // `extensions` (may be null) provides the enumerator functions of expressions.
  DocumentCore(doc::Document document, std::shared_ptr<const calc::EnumeratorClasses> extensions);
  ~DocumentCore();
  DocumentCore(const DocumentCore&) = delete;
  DocumentCore& operator=(const DocumentCore&) = delete;

  doc::Document& document() noexcept { return *document_; }
  calc::ComputedChannels& channels() noexcept { return channels_; }
  const ComPtr<ChartData>& chart() const noexcept { return chart_; }

  // Low byte 4 of the kind: a computed channel that exists; anything else: a recorded
  // channel by index. Throws HResultError (E_INVALIDARG) for channels that do not exist.
  ChannelRef resolve(ChannelId channel) const;
  ChannelId id_of(std::int32_t computed_index) const noexcept { return {computed_index, ChannelId::kComputedReference}; }

  // Attaches `calculation` (its IUnknown; null detaches) to a computed channel, reading its
  // expression through IArithmeticCalculation. Throws HResultError or
  // expr::ExpressionError; the channel keeps its previous calculation then.
  void attach(std::int32_t index, IUnknown* calculation);
  ComPtr<IUnknown> calculation(std::int32_t index) const;
  // The computed channels that `calculation` (an IUnknown identity) is attached to.
  std::vector<std::int32_t> attached_to(const IUnknown* calculation) const;
  void remove(std::int32_t index);

  // Markers: the events of a computed channel on a recorded channel.
  bool show_events(std::int32_t event_channel, std::int32_t target, bool show);
  bool showing_events(std::int32_t event_channel, std::int32_t target) const;

 private:
  std::shared_ptr<doc::Document> document_;
  std::shared_ptr<const calc::EnumeratorClasses> extensions_;
  calc::FunctionTable functions_;
  ComPtr<ChartData> chart_;
  calc::ComputedChannels channels_;
  std::map<std::int32_t, ComPtr<IUnknown>> calculations_;
  std::set<std::pair<std::int32_t, std::int32_t>> displays_;
};

}  // namespace korvel::app
