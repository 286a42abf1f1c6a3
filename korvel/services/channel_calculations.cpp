// SPDX-License-Identifier: MIT
#include "korvel/services/channel_calculations.h"

#include <algorithm>

#include "korvel/services/notifications.h"
#include "korvel/services/session.h"
#include "sdk/cpp/hresult_error.h"
#include "sdk/cpp/memory_stream.h"
#include "sdk/cpp/utf.h"

namespace korvel::services {
namespace {

ComPtr<IChannelCalculationClass> find_class(DocumentFrame& frame, const GUID& class_id) {
  for (const app::RegisteredClass* c : frame.session().application().extensions()->classes_in(kChannelCalculationCategory))
    if (c->class_id == class_id)
      if (auto cls = c->object.query<IChannelCalculationClass>()) return cls;
  throw_hresult(E_INVALIDARG, "no channel calculation class " + to_string(class_id) + " is registered");
}

CalculatedChannel& entry(DocumentFrame& frame, ChannelId channel) {
  auto& all = frame.calculated_channels();
  auto it = std::find_if(all.begin(), all.end(), [&](const CalculatedChannel& c) { return c.channel == channel; });
  if (it == all.end()) throw_hresult(E_INVALIDARG, "channel " + std::to_string(channel.index) + " has no extension calculation");
  return *it;
}

// Loads `settings` (when given) into the calculation's settings, applies them and attaches
// the calculation, which makes the host read its expression afresh.
void apply(DocumentFrame& frame, ChannelId channel, IChannelCalculation& calculation, const std::vector<std::uint8_t>& settings) {
  ComPtr<IPersistStreamInit> object;
  if (HRESULT hr = calculation.GetSettings(object.put()); FAILED(hr) || !object)
    throw_hresult(FAILED(hr) ? hr : E_UNEXPECTED, "the calculation hands out no settings");
  if (!settings.empty()) {
    auto stream = make_com<MemoryStream>(settings);
    if (HRESULT hr = object->Load(stream.get()); FAILED(hr)) throw_hresult(hr, "the calculation refuses its saved settings");
  }
  if (HRESULT hr = calculation.ApplySettings(object.get()); FAILED(hr)) throw_hresult(hr, "the calculation refuses its settings");
  if (HRESULT hr = frame.data().SetCalculation(channel, &calculation); FAILED(hr))
    throw_hresult(hr, "the calculation's expression does not compile on channel " + std::to_string(channel.index));
}

void tell(DocumentFrame& frame, ChannelId channel, IUnknown* calculation) {
  notify_data(frame, kChannelCalculationChanged, {channel.index, channel.kind, 0, 0}, calculation);
}

}  // namespace

ChannelId add_channel_calculation(DocumentFrame& frame, const GUID& class_id, const std::string& name,
                                  const std::vector<std::uint8_t>& settings) {
  ChannelId channel;
  if (HRESULT hr = frame.data().CreateChannel(utf8_to_utf16(name).c_str(), &channel); FAILED(hr))
    throw_hresult(hr, "channel '" + name + "' cannot be created");
  try {
    attach_channel_calculation(frame, channel, class_id, settings);
  } catch (...) {
    frame.data().DeleteChannel(channel);
    throw;
  }
  return channel;
}

void attach_channel_calculation(DocumentFrame& frame, ChannelId channel, const GUID& class_id, const std::vector<std::uint8_t>& settings) {
  auto cls = find_class(frame, class_id);
  ComPtr<IChannelCalculation> calculation;
  if (HRESULT hr = cls->CreateCalculation(frame.host_object()->identity(), channel, calculation.put()); FAILED(hr) || !calculation)
    throw_hresult(FAILED(hr) ? hr : E_UNEXPECTED, "channel calculation class " + to_string(class_id) + " could not create a calculation");
  apply(frame, channel, *calculation, settings);
  auto& all = frame.calculated_channels();
  std::erase_if(all, [&](const CalculatedChannel& c) { return c.channel == channel; });
  all.push_back({channel, class_id, calculation});
  tell(frame, channel, calculation.get());
}

void apply_channel_calculation(DocumentFrame& frame, ChannelId channel, const std::vector<std::uint8_t>& settings) {
  const ComPtr<IChannelCalculation> calculation = entry(frame, channel).calculation;
  apply(frame, channel, *calculation, settings);
  tell(frame, channel, calculation.get());
}

std::vector<std::uint8_t> channel_calculation_settings(DocumentFrame& frame, ChannelId channel) {
  ComPtr<IPersistStreamInit> object;
  check_hresult(entry(frame, channel).calculation->GetSettings(object.put()));
  if (!object) throw_hresult(E_UNEXPECTED, "the calculation hands out no settings");
  auto stream = make_com<MemoryStream>();
  check_hresult(object->Save(stream.get(), VARIANT_FALSE));
  return stream->bytes();
}

void remove_channel_calculation(DocumentFrame& frame, ChannelId channel) {
  entry(frame, channel);
  check_hresult(frame.data().SetCalculation(channel, nullptr));
  std::erase_if(frame.calculated_channels(), [&](const CalculatedChannel& c) { return c.channel == channel; });
  tell(frame, channel, nullptr);
}

}  // namespace korvel::services
