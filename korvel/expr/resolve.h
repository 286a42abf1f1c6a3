// SPDX-License-Identifier: MIT
// Name resolution and type checking: turns a syntax tree into a tree whose every node
// knows what it refers to and what kind of value it yields. Constant sub-expressions are
// folded into numbers.
//
// Kinds: numbers; sampled channels (one value per tick of a record); event channels
// (ticks of events within a record). Arithmetic takes numbers and sampled channels; a
// function's parameters each take one kind; a function yields one kind.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "korvel/expr/ast.h"

namespace korvel::expr {

enum class ValueKind { Number, Sampled, Events };

struct ParameterSpec {
  std::string name;
  ValueKind kind = ValueKind::Number;
  // Numbers only: values outside [min, max] (and NaN) are refused.
  double min = -std::numeric_limits<double>::infinity();
  double max = std::numeric_limits<double>::infinity();
};

// A function of the language. The layer that evaluates expressions derives its entries
// from it and adds what it needs to run them.
struct FunctionSignature {
  virtual ~FunctionSignature() = default;
  std::string name;  // as the function spells itself
  std::vector<ParameterSpec> parameters;
  ValueKind result = ValueKind::Sampled;
};

struct ComputedChannelInfo {
  std::int32_t index = 0;
  std::optional<ValueKind> kind;  // nothing while the channel has no calculation
};

// What names mean where the expression is used.
class Scope {
 public:
  virtual ~Scope() = default;
  virtual std::int32_t recorded_channel_count() const = 0;
  // A computed channel by its exact name.
  virtual std::optional<ComputedChannelInfo> find_computed(std::string_view name) const = 0;
  // A function by name, compared case-insensitively; null when there is none.
  virtual const FunctionSignature* find_function(std::string_view name) const = 0;
};

struct Resolved {
  enum class Op { Constant, Recorded, Computed, Add, Multiply, Negate, Call };

  Op op = Op::Constant;
  ValueKind kind = ValueKind::Number;
  int column = 1;
  double value = 0.0;                           // Constant
  std::int32_t channel = 0;                     // Recorded or Computed: the channel index
  std::string name;                             // Computed: the channel's name
  const FunctionSignature* function = nullptr;  // Call
  std::vector<Resolved> operands;               // Call: one per parameter; arithmetic operands
};

// Throws ExpressionError naming what is wrong and its column: unknown names and functions,
// channels without a calculation, wrong argument counts, arguments of the wrong kind,
// numbers outside a parameter's range (naming the parameter), arithmetic on events.
Resolved resolve(const Node& root, const Scope& scope);

}  // namespace korvel::expr
