// SPDX-License-Identifier: MIT
// Keeps the computed channels that the extension defines in a host document, by name.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "sdk/cpp/com_ptr.h"
#include "sdk/host/channel_id.h"
#include "sdk/host/computed_channels.h"
#include "sdk/host/document_data.h"

namespace ExtLib {

class ArithmeticChannelManager {
 public:
  // `document` is the host document's data interface; it also answers the computed-channel
  // and channel-calculation services. Null leaves the manager without a document.
  explicit ArithmeticChannelManager(IDocumentData* document);
  virtual ~ArithmeticChannelManager();
  ArithmeticChannelManager(const ArithmeticChannelManager&) = delete;
  ArithmeticChannelManager& operator=(const ArithmeticChannelManager&) = delete;

  // Makes sure a channel called `name` exists (found or created) and, when `expression` is
  // not empty, attaches a new arithmetic calculation of it. True when the channel exists
  // and the host accepted the expression.
  bool Define(std::u16string_view name, std::u16string_view expression, std::u16string_view message);
  // Resets the channel's calculation; with `remove` also clears its host-side flag and
  // deletes it. False only when the host's delete fails.
  bool Remove(std::u16string_view name, bool remove);
  // The channel's identity, or ChannelId::not_found().
  ChannelId Lookup(std::u16string_view name) const;

 protected:
  bool has_document() const noexcept { return document_ != nullptr; }
  IDocumentData* document() const noexcept { return document_.get(); }
  IComputedChannels* channels() const noexcept { return channels_.get(); }
  // Asks the host to recompute the channel's calculation from scratch.
  void ResetCalculation(ChannelId channel) const;

 private:
  ComPtr<IDocumentData> document_;
  ComPtr<IComputedChannels> channels_;
  ComPtr<IChannelCalculations> calculations_;
  std::map<std::u16string, ChannelId, std::less<>> channels_by_name_;
};

}  // namespace ExtLib
