// SPDX-License-Identifier: MIT
#include "hrv/detect/arithmetic_channel_manager.h"

#include "sdk/cpp/utf.h"

namespace ExtLib {

ArithmeticChannelManager::ArithmeticChannelManager(IDocumentData* document)
    : document_(ComPtr<IDocumentData>::retain(document)) {
  if (document_) {
    channels_ = document_.query<IComputedChannels>();
    calculations_ = document_.query<IChannelCalculations>();
  }
}

ArithmeticChannelManager::~ArithmeticChannelManager() = default;

bool ArithmeticChannelManager::Define(std::u16string_view name, std::u16string_view expression,
                                      std::u16string_view message) {
  if (!channels_) return false;
  const std::u16string key(name);
  ChannelId id = Lookup(name);
  if (!id.found()) {
    if (channels_->FindChannel(key.c_str(), &id) != S_OK || !id.found()) {
      id = ChannelId::not_found();
      if (FAILED(channels_->CreateChannel(key.c_str(), &id)) || !id.found()) return false;
    }
    channels_by_name_[key] = id;
  }
  if (expression.empty()) return true;

  ComPtr<IArithmeticCalculation> calculation;
  if (FAILED(channels_->CreateArithmeticCalculation(calculation.put())) || !calculation) return false;
  const std::u16string text(expression), note(message);
  if (calculation->Initialise(text.c_str(), note.c_str(), nullptr) != S_OK) return false;
  return SUCCEEDED(channels_->SetCalculation(id, calculation.get()));
}

bool ArithmeticChannelManager::Remove(std::u16string_view name, bool remove) {
  if (!channels_) return true;
  ChannelId id = Lookup(name);
  if (!id.found()) {
    const std::u16string key(name);
    if (channels_->FindChannel(key.c_str(), &id) != S_OK || !id.found()) return true;
  }
  ResetCalculation(id);
  if (!remove) return true;
  VARIANT_BOOL flagged = VARIANT_FALSE;
  if (channels_->GetChannelFlag(id, &flagged) == S_OK && flagged) channels_->SetChannelFlag(id, VARIANT_FALSE);
  if (FAILED(channels_->DeleteChannel(id))) return false;
  if (auto it = channels_by_name_.find(name); it != channels_by_name_.end()) channels_by_name_.erase(it);
  return true;
}

ChannelId ArithmeticChannelManager::Lookup(std::u16string_view name) const {
  auto it = channels_by_name_.find(name);
  return it == channels_by_name_.end() ? ChannelId::not_found() : it->second;
}

void ArithmeticChannelManager::ResetCalculation(ChannelId channel) const {
  if (!calculations_) return;
  ComPtr<IUnknown> calculation;
  if (calculations_->GetCalculation(channel, calculation.put()) != S_OK || !calculation) return;
  if (auto reset = calculation.query<ICalculationReset>()) reset->ResetCalculation();
}

}  // namespace ExtLib
