// SPDX-License-Identifier: MIT
// A channel that cannot be evaluated: an enumerator that refuses its parameters or breaks
// its contract, a stage that refuses its arguments for a record's sample interval, a
// channel that vanished. The message says which channel or function and what happened.
#pragma once

#include <stdexcept>

namespace korvel::calc {

class EvaluationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace korvel::calc
