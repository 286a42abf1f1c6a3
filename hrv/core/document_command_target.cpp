// SPDX-License-Identifier: MIT
#include "hrv/core/document_command_target.h"

#include "hrv/core/document.h"
#include "hrv/host/commands.h"
#include "sdk/cpp/hresult_error.h"

namespace HRV {

DocumentCommandTarget::DocumentCommandTarget(Document& document)
    : ComPart<ICommandTarget>(*document.identity()), document_(document) {}

HRESULT DocumentCommandTarget::Execute(std::uint32_t commandId) {
  return guard([&] { return execute_command(document_, commandId); });
}

HRESULT DocumentCommandTarget::Update(std::uint32_t commandId, ICommandUpdate* update) {
  if (!update) return E_POINTER;
  return guard([&] { return update_command(document_, commandId, *update); });
}

HRESULT DocumentCommandTarget::BuildPopup(std::uint32_t commandId, INativeMenu* menu) {
  if (!menu) return E_POINTER;
  return guard([&] { return build_popup(commandId, *menu); });
}

HRESULT DocumentCommandTarget::DispatchPopup(std::uint32_t commandId, std::uint32_t itemId) {
  return guard([&] { return dispatch_popup(document_, commandId, itemId); });
}

}  // namespace HRV
