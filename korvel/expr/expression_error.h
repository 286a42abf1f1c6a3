// SPDX-License-Identifier: MIT
// The one error of the expression language: what is wrong and at which column.
#pragma once

#include <stdexcept>
#include <string>

namespace korvel::expr {

class ExpressionError : public std::runtime_error {
 public:
  // `column` counts characters of the expression from 1; what() reads "<reason> at column <n>".
  ExpressionError(const std::string& reason, int column)
      : std::runtime_error(reason + " at column " + std::to_string(column)), reason_(reason), column_(column) {}

  const std::string& reason() const noexcept { return reason_; }
  int column() const noexcept { return column_; }

 private:
  std::string reason_;
  int column_;
};

}  // namespace korvel::expr
