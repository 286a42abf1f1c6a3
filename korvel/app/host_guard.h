// SPDX-License-Identifier: MIT
// The host's interface methods run through this guard: besides what `guard` converts, a
// refused argument (an unknown channel or record, a bad name, an expression that does not
// compile) becomes E_INVALIDARG; a failed evaluation stays E_FAIL.
#pragma once

#include <stdexcept>

#include "korvel/expr/expression_error.h"
#include "sdk/cpp/hresult_error.h"

namespace korvel::app {

template <class Body>
HRESULT host_guard(Body&& body) noexcept {
  return guard([&]() -> HRESULT {
    try {
      return body();
    } catch (const expr::ExpressionError& e) {
      throw HResultError(E_INVALIDARG, e.what());
    } catch (const std::invalid_argument& e) {
      throw HResultError(E_INVALIDARG, e.what());
    } catch (const std::out_of_range& e) {
      throw HResultError(E_INVALIDARG, e.what());
    }
  });
}

}  // namespace korvel::app
