// SPDX-License-Identifier: MIT
// The host's arithmetic calculation: one expression, compiled against the document that
// created it. Attached to a channel, a new expression or a reset recomputes the channel
// and every channel that depends on it.
#pragma once

#include <memory>
#include <string>

#include "korvel/app/document_core.h"
#include "sdk/cpp/com_object.h"
#include "sdk/host/computed_channels.h"

namespace korvel::app {

class ArithmeticCalculation final : public ComObject<IArithmeticCalculation, ICalculationReset> {
 public:
  explicit ArithmeticCalculation(std::weak_ptr<DocumentCore> document) : document_(std::move(document)) {}

  HRESULT Initialise(const char16_t* expression, const char16_t* message, BSTR* error) override;
  HRESULT GetExpression(BSTR* expression) override;
  HRESULT ResetCalculation() override;

 private:
  // Throws HResultError (E_UNEXPECTED) once the document is closed.
  std::shared_ptr<DocumentCore> document() const;

  std::weak_ptr<DocumentCore> document_;
  std::string expression_;
};

}  // namespace korvel::app
