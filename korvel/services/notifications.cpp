// SPDX-License-Identifier: MIT
#include "korvel/services/notifications.h"

#include <algorithm>

#include "korvel/app/module_ids.h"
#include "korvel/services/document_frame.h"

namespace korvel::services {

std::uint32_t notification_type(const GUID& family, std::uint16_t number) {
  return (std::uint32_t{app::module_id(family)} << 16) | number;
}

std::vector<HRESULT> notify_data(DocumentFrame& frame, DataNotification number, std::array<std::int32_t, 4> args, IUnknown* object) {
  HostMessage message{notification_type(kDataNotificationFamily, number), {args[0], args[1], args[2], args[3]}, object};
  return frame.broadcast(message);
}

std::size_t notify_framework(DocumentFrame& frame, std::uint16_t number) {
  const auto results = frame.broadcast(HostMessage{notification_type(kFrameworkNotificationFamily, number), {}, nullptr});
  return static_cast<std::size_t>(std::count(results.begin(), results.end(), S_FALSE));
}

}  // namespace korvel::services
