// SPDX-License-Identifier: MIT
// The syntax tree of one expression, as written: nothing is looked up yet.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace korvel::expr {

struct Node {
  enum class Kind {
    Number,    // `number`
    Name,      // a channel reference: `name`
    Call,      // `name`(children...)
    Add,       // children[0] + children[1]
    Multiply,  // children[0] * children[1]
    Negate,    // -children[0]
  };

  Kind kind = Kind::Number;
  int column = 1;  // of the node's first character; of the operator for Add and Multiply
  double number = 0.0;
  std::string name;
  std::vector<std::unique_ptr<Node>> children;
};

}  // namespace korvel::expr
