// SPDX-License-Identifier: MIT
// The host's notifications to the extension documents of a document: family B about its
// data (sdk/host/messages.h, DataNotification) and family A, which the host's own document
// framework handles when a document leaves them (answers S_FALSE).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sdk/guid.h"
#include "sdk/host/messages.h"

namespace korvel::services {

class DocumentFrame;

// module id of `family` << 16 | number.
std::uint32_t notification_type(const GUID& family, std::uint16_t number);

// Delivers a family-B notification to every extension document of `frame`; the results
// in document order. `object` is borrowed for the call.
std::vector<HRESULT> notify_data(DocumentFrame& frame, DataNotification number, std::array<std::int32_t, 4> args = {},
                                 IUnknown* object = nullptr);
// Delivers a family-A notification; returns how many documents left it to the host.
std::size_t notify_framework(DocumentFrame& frame, std::uint16_t number);

}  // namespace korvel::services
