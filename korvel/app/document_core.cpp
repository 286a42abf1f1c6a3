// SPDX-License-Identifier: MIT
#include "korvel/app/document_core.h"

#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/utf.h"
#include "sdk/host/computed_channels.h"

namespace korvel::app {

DocumentCore::DocumentCore(doc::Document document, std::shared_ptr<const calc::EnumeratorClasses> extensions)
    : document_(std::make_shared<doc::Document>(std::move(document))),
      extensions_(std::move(extensions)),
      functions_(extensions_.get()),
      chart_(make_com<ChartData>()),
      channels_(document_, functions_, ComPtr<IChartData>::retain(chart_.get())) {
  document_->on_growth([chart = chart_](const doc::Growth& growth) { chart->data_inserted(growth); });
}

// Children and calculations are extension objects that may refer to the document's
// interfaces; release them while everything else still exists.
DocumentCore::~DocumentCore() {
  calculations_.clear();
  chart_->clear();
}

ChannelRef DocumentCore::resolve(ChannelId channel) const {
  if (channel.reference() == ChannelId::kComputedReference) {
    if (!channels_.contains(channel.index)) throw_hresult(E_INVALIDARG, "no computed channel " + std::to_string(channel.index));
    return {true, channel.index};
  }
  if (channel.index < 0 || channel.index >= document_->channel_count()) throw_hresult(E_INVALIDARG, "no channel " + std::to_string(channel.index));
  return {false, channel.index};
}

void DocumentCore::attach(std::int32_t index, IUnknown* calculation) {
  if (!channels_.contains(index)) throw_hresult(E_INVALIDARG, "no computed channel " + std::to_string(index));
  if (!calculation) {
    channels_.set_expression(index, "");
    calculations_.erase(index);
    return;
  }
  auto arithmetic = ComPtr<IUnknown>::retain(calculation).query<IArithmeticCalculation>();
  if (!arithmetic) throw_hresult(E_INVALIDARG, "a channel's calculation must answer IArithmeticCalculation");
  Bstr text;
  check_hresult(arithmetic->GetExpression(text.put()), "GetExpression failed");
  channels_.set_expression(index, text.utf8());
  calculations_[index] = arithmetic.query<IUnknown>();
}

ComPtr<IUnknown> DocumentCore::calculation(std::int32_t index) const {
  auto it = calculations_.find(index);
  return it == calculations_.end() ? nullptr : it->second;
}

std::vector<std::int32_t> DocumentCore::attached_to(const IUnknown* calculation) const {
  std::vector<std::int32_t> out;
  for (const auto& [index, c] : calculations_)
    if (c.get() == calculation) out.push_back(index);
  return out;
}

void DocumentCore::remove(std::int32_t index) {
  channels_.remove(index);
  calculations_.erase(index);
  std::erase_if(displays_, [&](const auto& d) { return d.first == index; });
}

bool DocumentCore::show_events(std::int32_t event_channel, std::int32_t target, bool show) {
  if (!channels_.contains(event_channel)) throw_hresult(E_INVALIDARG, "no computed channel " + std::to_string(event_channel));
  if (target < 0 || target >= document_->channel_count()) throw_hresult(E_INVALIDARG, "no channel " + std::to_string(target));
  return show ? displays_.emplace(event_channel, target).second : displays_.erase({event_channel, target}) != 0;
}

bool DocumentCore::showing_events(std::int32_t event_channel, std::int32_t target) const {
  return displays_.count({event_channel, target}) != 0;
}

}  // namespace korvel::app
