// SPDX-License-Identifier: MIT
#include "hrv/core/document_message_sink.h"

#include "hrv/core/document.h"

#include <algorithm>

#include "hrv/host/channel_calc.h"
#include "hrv/host/host_context.h"
#include "hrv/host/macro_messages.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

namespace {

// Sent by the host's framework after kMessageDocumentAttached; the document has nothing
// to do on it.
constexpr std::uint32_t kMessageDocumentFollowUp = 0x80000001u;

std::uint16_t family_of(std::uint32_t type) noexcept { return static_cast<std::uint16_t>(type >> 16); }
std::uint16_t number_of(std::uint32_t type) noexcept { return static_cast<std::uint16_t>(type & 0xFFFFu); }

}  // namespace

DocumentMessageSink::DocumentMessageSink(Document& document)
    : ComPart<IMessageSink>(*document.identity()), document_(document) {}

HRESULT DocumentMessageSink::OnMessage(const HostMessage* message) {
  if (!message) return E_POINTER;
  return guard([&] {
    const HostMessage& m = *message;
    if (m.type == kMessageDocumentAttached) {
      std::int32_t identity = 0;
      if (FAILED(document_.host()->GetIdentity(&identity)) || m.args[0] != identity || m.args[1] != identity) return S_FALSE;
      on_attached();
      return S_OK;
    }
    if (m.type == kMessageDocumentFollowUp) return S_OK;
    if (run_macro_message(document_, m.type)) return S_OK;
    HostContext& context = HostContext::instance();
    if (family_of(m.type) == context.module_id(kDataNotificationFamily)) {
      document_.stretches_.forget();  // the data a kept stretch was read from may have changed
      return on_data_notification(number_of(m.type), m) ? S_OK : S_FALSE;
    }
    // Everything else, the framework family among it, is the host framework's own.
    return S_FALSE;
  });
}

void DocumentMessageSink::on_attached() {
  document_.RegisterWithAnalysisManager();
  document_.UpdateOnlineRegistration();
  // The host lists no computed channels, so HRV channel calculations join channelCalcs_ as
  // the host reports each one attached (kChannelCalculationChanged).
  document_.RunAnalysis(kChangeEverything, ChangeCode::Analysis);  // returns at once without a stored region
  document_.ValidateRegion();
}

bool DocumentMessageSink::update_guide_lines(ChannelId channel) {
  auto calculations = document_.documentData_.query<IChannelCalculations>();
  auto chart = document_.host_.query<IChartMessageTarget>();
  ComPtr<IUnknown> calculation;
  if (!calculations || !chart || calculations->GetCalculation(channel, calculation.put()) != S_OK) return false;
  const ChannelCalc* calc = ChannelCalc::from(calculation.get());
  if (!calc) return false;
  apply_guide_lines(*chart, channel.index, calc->settings(), document_.settings());
  return true;
}

void DocumentMessageSink::track_channel_calc(ChannelId channel, IUnknown* calculation) {
  const auto known = std::find(channelCalcs_.begin(), channelCalcs_.end(), channel);
  if (const ChannelCalc* calc = ChannelCalc::from(calculation)) {
    if (known == channelCalcs_.end()) channelCalcs_.push_back(channel);
    if (auto chart = document_.host_.query<IChartMessageTarget>()) apply_guide_lines(*chart, channel.index, calc->settings(), document_.settings());
    return;
  }
  if (known == channelCalcs_.end()) return;
  channelCalcs_.erase(known);
  if (auto chart = document_.host_.query<IChartMessageTarget>()) remove_guide_lines(*chart, channel.index);
}

bool DocumentMessageSink::on_data_notification(std::uint16_t number, const HostMessage& m) {
  switch (number) {
    case kDataStructureChanged:
      document_.ValidateRegion();
      return true;
    case kDataChanged:
    case kDataRemoved: {
      // A change touches the region unless it starts after the region's end or ends before
      // the region's first record.
      const TickPosition first{m.args[0], m.args[1]};
      const std::int32_t lastRecord = m.args[3];
      if (document_.region_set() && !(document_.settings().region_end() < first) && lastRecord >= document_.settings().StartRecord)
        document_.ClearAnalysis(kChangeEverything, true);
      return true;
    }
    case kChannelCalculationChanged:
      if (document_.region_set() && m.args[0] == document_.settings().SourceChannel) {
        if (!document_.region_data_valid())
          document_.ClearAnalysis(kChangeEverything, true);
        else if (!document_.host_sampling())
          document_.RunAnalysis(kChangeEverything, ChangeCode::Analysis);
      }
      track_channel_calc({m.args[0], m.args[1]}, m.object);
      return true;
    case kChannelChanged:
    case kChannelRemoved:
      if (m.args[0] == document_.settings().SourceChannel) document_.ClearAnalysis(kChangeEverything, true);
      return true;
    default: return false;
  }
}

void DocumentMessageSink::UpdateGuideLines() {
  for (ChannelId channel : channelCalcs_) update_guide_lines(channel);
}

}  // namespace HRV
