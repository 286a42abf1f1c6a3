// SPDX-License-Identifier: MIT
// Channels whose calculation is an extension's: a computed channel gets a calculation
// object of an extension's channel-calculation class, the calculation's settings come from
// a stream kept with the document (or are the class's defaults), and every extension
// document of the document hears that the channel's calculation changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvel/services/document_frame.h"
#include "sdk/host/channel_calc.h"

namespace korvel::services {

// Creates computed channel `name` and gives it a calculation of the class registered
// under `class_id` (see attach_channel_calculation). Throws HResultError naming what
// failed; a channel created for it is deleted again then.
ChannelId add_channel_calculation(DocumentFrame& frame, const GUID& class_id, const std::string& name,
                                  const std::vector<std::uint8_t>& settings = {});
// Gives computed channel `channel` a new calculation of the class `class_id`: the
// calculation is created for the frame's document, `settings` (when not empty) are loaded
// into its settings object, the settings are applied, the calculation is attached to the
// channel, and the extension documents are told. Throws HResultError naming what failed;
// nothing is attached then.
void attach_channel_calculation(DocumentFrame& frame, ChannelId channel, const GUID& class_id,
                                const std::vector<std::uint8_t>& settings = {});
// New settings for the channel's calculation, from a stream: loaded, applied, the
// calculation attached again (the channel is computed anew) and the documents told.
void apply_channel_calculation(DocumentFrame& frame, ChannelId channel, const std::vector<std::uint8_t>& settings);
// The stream of the channel's calculation settings, as a document file keeps it.
std::vector<std::uint8_t> channel_calculation_settings(DocumentFrame& frame, ChannelId channel);
// The channel keeps no calculation; the documents are told, without an object.
void remove_channel_calculation(DocumentFrame& frame, ChannelId channel);

}  // namespace korvel::services
