// SPDX-License-Identifier: MIT
// The document's ICommandTarget: the HRV menu's commands by the command table
// (hrv/host/commands.h). A part of HRV::Document (one identity).
#pragma once

#include <cstdint>

#include "sdk/cpp/com_part.h"
#include "sdk/host/menus.h"

namespace HRV {

class Document;

class DocumentCommandTarget final : public ComPart<ICommandTarget> {
 public:
  explicit DocumentCommandTarget(Document& document);

  HRESULT Execute(std::uint32_t commandId) override;
  HRESULT Update(std::uint32_t commandId, ICommandUpdate* update) override;
  HRESULT BuildPopup(std::uint32_t commandId, INativeMenu* menu) override;
  HRESULT DispatchPopup(std::uint32_t commandId, std::uint32_t itemId) override;

 private:
  Document& document_;
};

}  // namespace HRV
