// SPDX-License-Identifier: MIT
#include "korvel/app/arithmetic_calculation.h"

#include "korvel/app/host_guard.h"
#include "sdk/cpp/utf.h"

namespace korvel::app {

std::shared_ptr<DocumentCore> ArithmeticCalculation::document() const {
  auto core = document_.lock();
  if (!core) throw_hresult(E_UNEXPECTED, "the calculation's document is closed");
  return core;
}

HRESULT ArithmeticCalculation::Initialise(const char16_t* expression, const char16_t* message, BSTR* error) {
  if (error) *error = nullptr;
  if (!expression) return E_POINTER;
  return host_guard([&] {
    auto core = document();
    const std::string text = utf16_to_utf8(expression);
    try {
      // Attached: the channel takes the expression, which checks it in its place. Else the
      // check is against the document as it is now.
      const auto channels = core->attached_to(identity());
      if (channels.empty()) core->channels().compile(text);
      for (std::int32_t index : channels) core->channels().set_expression(index, text);
    } catch (const expr::ExpressionError& e) {
      if (error) {
        const std::string prefix = message && message[0] ? utf16_to_utf8(message) + ": " : std::string();
        *error = Bstr(prefix + e.what()).detach();
      }
      return E_INVALIDARG;
    }
    expression_ = text;
    return S_OK;
  });
}

HRESULT ArithmeticCalculation::GetExpression(BSTR* expression) {
  if (!expression) return E_POINTER;
  return host_guard([&] {
    *expression = Bstr(expression_).detach();
    return S_OK;
  });
}

HRESULT ArithmeticCalculation::ResetCalculation() {
  return host_guard([&] {
    auto core = document();
    for (std::int32_t index : core->attached_to(identity())) core->channels().reset(index);
    return S_OK;
  });
}

}  // namespace korvel::app
