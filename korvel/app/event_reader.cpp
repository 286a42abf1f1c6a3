// SPDX-License-Identifier: MIT
#include "korvel/app/event_reader.h"

#include "korvel/app/host_guard.h"

namespace korvel::app {

EventReader::EventReader(std::shared_ptr<DocumentCore> document, std::int32_t channel, TickPosition from, TickPosition to)
    : document_(std::move(document)), walk_(document_->channels(), document_->document(), channel, from, to) {}

HRESULT EventReader::GetEventSize(ULONG* size) {
  return host_guard([&] {
    if (!size) return E_POINTER;
    *size = walk_.event_size();
    return S_OK;
  });
}

HRESULT EventReader::Read(void* buffer, ULONG maxEvents, std::int32_t* records, ULONG* count) {
  if (count) *count = 0;
  return host_guard([&] {
    if (!count || (maxEvents > 0 && !buffer)) return E_POINTER;
    *count = static_cast<ULONG>(walk_.read(static_cast<std::byte*>(buffer), maxEvents, records));
    return *count > 0 ? S_OK : S_FALSE;
  });
}

HRESULT EventReader::GetPosition(TickPosition* position) {
  if (!position) return E_POINTER;
  *position = walk_.position();
  return S_OK;
}

}  // namespace korvel::app
