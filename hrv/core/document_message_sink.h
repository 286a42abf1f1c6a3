// SPDX-License-Identifier: MIT
// The document's IMessageSink: the document-attached notice, the document's own macro
// messages coming back from the host, and the host's notifications about changed data,
// channels and calculations, on which the document validates, clears or re-runs its
// analysis. It also follows the channels whose calculation is an HRV channel calculation
// and keeps their guide lines at the classifier box. A part of HRV::Document (one identity).
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/cpp/com_part.h"
#include "sdk/host/channel_id.h"
#include "sdk/host/messages.h"

namespace HRV {

class Document;

class DocumentMessageSink final : public ComPart<IMessageSink> {
 public:
  explicit DocumentMessageSink(Document& document);

  HRESULT OnMessage(const HostMessage* message) override;

  // Refreshes the guide lines of every followed HRV channel calculation.
  void UpdateGuideLines();

 private:
  void on_attached();
  bool on_data_notification(std::uint16_t number, const HostMessage& message);
  // Follows a channel whose calculation changed: an HRV channel calculation gets its guide
  // lines and joins channelCalcs_; a channel that no longer has one loses both.
  void track_channel_calc(ChannelId channel, IUnknown* calculation);
  // The guide lines of `channel` from its HRV channel calculation; false when it has none.
  bool update_guide_lines(ChannelId channel);

  Document& document_;
  std::vector<ChannelId> channelCalcs_;  // channels whose calculation is an HRV channel calculation
};

}  // namespace HRV
