// SPDX-License-Identifier: MIT
// Parses the expression language:
//
//   sum     := product ('+' product)*
//   product := unary ('*' unary)*
//   unary   := '-' unary | primary
//   primary := number | name | name '(' [sum (',' sum)*] ')' | '(' sum ')'
//
// Numbers are written as printf's %g and %f write them ("30", "0.08", "2.14748e+09",
// ".5", "1e-3"), always with '.' as the decimal separator; a leading '-' is the unary minus.
// Names are identifiers; spaces and tabs may separate tokens.
#pragma once

#include <memory>
#include <string_view>

#include "korvel/expr/ast.h"

namespace korvel::expr {

// Trees deeper than this (parentheses, calls, unary minus and every operator of a chain
// count one level each) are refused.
inline constexpr int kMaxNesting = 256;

// Throws ExpressionError for any text that is not one complete expression.
std::unique_ptr<Node> parse(std::string_view text);

}  // namespace korvel::expr
