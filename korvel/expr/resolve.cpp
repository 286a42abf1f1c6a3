// SPDX-License-Identifier: MIT
#include "korvel/expr/resolve.h"

#include <charconv>
#include <cmath>

#include "korvel/expr/expression_error.h"
#include "korvel/expr/names.h"

namespace korvel::expr {
namespace {

std::string number_text(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string describe(const Resolved& r) {
  switch (r.op) {
    case Resolved::Op::Computed: return "channel '" + r.name + "'";
    case Resolved::Op::Call: return "'" + r.function->name + "'";
    default: return "the operand";
  }
}

class Resolver {
 public:
  explicit Resolver(const Scope& scope) : scope_(scope) {}

  Resolved node(const Node& n) {
    switch (n.kind) {
      case Node::Kind::Number: return constant(n.number, n.column);
      case Node::Kind::Name: return name(n);
      case Node::Kind::Call: return call(n);
      case Node::Kind::Add:
      case Node::Kind::Multiply:
      case Node::Kind::Negate: return arithmetic(n);
    }
    throw ExpressionError("unknown syntax", n.column);
  }

 private:
  static Resolved constant(double value, int column) {
    Resolved r;
    r.value = value;
    r.column = column;
    return r;
  }

  Resolved name(const Node& n) {
    Resolved r;
    r.column = n.column;
    if (auto recorded = parse_recorded_reference(n.name)) {
      const std::int32_t count = scope_.recorded_channel_count();
      if (recorded->index >= count)
        throw ExpressionError("no recorded channel '" + n.name + "': the document has " + std::to_string(count) + " channel" + (count == 1 ? "" : "s"), n.column);
      r.op = Resolved::Op::Recorded;
      r.kind = ValueKind::Sampled;
      r.channel = recorded->index;
      return r;
    }
    auto computed = scope_.find_computed(n.name);
    if (!computed) {
      if (scope_.find_function(n.name)) throw ExpressionError("function '" + n.name + "' needs its arguments in parentheses", n.column);
      throw ExpressionError("unknown channel '" + n.name + "'", n.column);
    }
    if (!computed->kind) throw ExpressionError("channel '" + n.name + "' has no calculation", n.column);
    r.op = Resolved::Op::Computed;
    r.kind = *computed->kind;
    r.channel = computed->index;
    r.name = n.name;
    return r;
  }

  Resolved call(const Node& n) {
    const FunctionSignature* f = scope_.find_function(n.name);
    if (!f) throw ExpressionError("unknown function '" + n.name + "'", n.column);
    const std::size_t want = f->parameters.size();
    if (n.children.size() != want)
      throw ExpressionError("'" + f->name + "' takes " + std::to_string(want) + " argument" + (want == 1 ? "" : "s") + " but " +
                                std::to_string(n.children.size()) + (n.children.size() == 1 ? " was" : " were") + " given",
                            n.column);
    Resolved r;
    r.op = Resolved::Op::Call;
    r.kind = f->result;
    r.column = n.column;
    r.function = f;
    for (std::size_t i = 0; i < want; ++i) {
      const ParameterSpec& p = f->parameters[i];
      Resolved arg = node(*n.children[i]);
      const std::string which = p.name.empty() ? "argument " + std::to_string(i + 1) + " of '" + f->name + "'"
                                               : "parameter '" + p.name + "' of '" + f->name + "'";
      if (arg.kind != p.kind)
        throw ExpressionError(which + " must be " + std::string(article(p.kind)) + " but is " + std::string(article(arg.kind)), arg.column);
      if (p.kind == ValueKind::Number && !(arg.value >= p.min && arg.value <= p.max))
        throw ExpressionError(which + " is " + number_text(arg.value) + ", outside its range " + number_text(p.min) + " to " + number_text(p.max),
                              arg.column);
      r.operands.push_back(std::move(arg));
    }
    return r;
  }

  static std::string_view article(ValueKind kind) noexcept {
    switch (kind) {
      case ValueKind::Number: return "a number";
      case ValueKind::Sampled: return "a sampled channel";
      case ValueKind::Events: return "an event channel";
    }
    return "a value";
  }

  Resolved arithmetic(const Node& n) {
    Resolved r;
    r.column = n.column;
    r.op = n.kind == Node::Kind::Add ? Resolved::Op::Add : n.kind == Node::Kind::Multiply ? Resolved::Op::Multiply : Resolved::Op::Negate;
    bool sampled = false;
    for (const auto& child : n.children) {
      Resolved operand = node(*child);
      if (operand.kind == ValueKind::Events)
        throw ExpressionError("arithmetic needs numbers or sampled channels, but " + describe(operand) + " yields events", operand.column);
      sampled = sampled || operand.kind == ValueKind::Sampled;
      r.operands.push_back(std::move(operand));
    }
    if (sampled) {
      r.kind = ValueKind::Sampled;
      return r;
    }
    switch (r.op) {
      case Resolved::Op::Add: return constant(r.operands[0].value + r.operands[1].value, n.column);
      case Resolved::Op::Multiply: return constant(r.operands[0].value * r.operands[1].value, n.column);
      default: return constant(-r.operands[0].value, n.column);
    }
  }

  const Scope& scope_;
};

}  // namespace

Resolved resolve(const Node& root, const Scope& scope) { return Resolver(scope).node(root); }

}  // namespace korvel::expr
