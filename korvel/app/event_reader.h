// SPDX-License-Identifier: MIT
// A reader over an event channel's events, in batches, for extensions.
#pragma once

#include <memory>

#include "korvel/app/document_core.h"
#include "korvel/calc/event_walk.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/document_data.h"

namespace korvel::app {

class EventReader final : public ComObject<IEventReader> {
 public:
  EventReader(std::shared_ptr<DocumentCore> document, std::int32_t channel, TickPosition from, TickPosition to);

  HRESULT GetEventSize(ULONG* size) override;
  HRESULT Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) override;
  HRESULT GetPosition(TickPosition* position) override;

 private:
  std::shared_ptr<DocumentCore> document_;
  calc::EventWalk walk_;
};

}  // namespace korvel::app
