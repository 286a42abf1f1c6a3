// SPDX-License-Identifier: MIT
// Arbitrary text as an expression: it parses and resolves, or throws ExpressionError with a
// column inside the text (or just after it), nothing else.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "korvel/expr/expression_error.h"
#include "korvel/expr/names.h"
#include "korvel/expr/parser.h"
#include "korvel/expr/resolve.h"

namespace {

using namespace korvel::expr;

class FuzzScope final : public Scope {
 public:
  FuzzScope() {
    lowpass_.name = "lowpass";
    lowpass_.parameters = {{"", ValueKind::Sampled}, {"", ValueKind::Number}};
    fiducial_.name = "fiducial";
    fiducial_.parameters = {{"Signal", ValueKind::Sampled}, {"Reference", ValueKind::Events}, {"Width[s]", ValueKind::Number, 0.01, 10}};
    fiducial_.result = ValueKind::Events;
  }
  std::int32_t recorded_channel_count() const override { return 2; }
  std::optional<ComputedChannelInfo> find_computed(std::string_view name) const override {
    if (name == "HRV_vLPF") return ComputedChannelInfo{2, ValueKind::Sampled};
    if (name == "HRV_vDET") return ComputedChannelInfo{3, ValueKind::Events};
    if (name == "Empty") return ComputedChannelInfo{4, std::nullopt};
    return std::nullopt;
  }
  const FunctionSignature* find_function(std::string_view name) const override {
    if (iequals(name, "lowpass")) return &lowpass_;
    if (iequals(name, "fiducial")) return &fiducial_;
    return nullptr;
  }

 private:
  FunctionSignature lowpass_, fiducial_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FuzzScope scope;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto tree = parse(text);
    resolve(*tree, scope);
  } catch (const ExpressionError& e) {
    if (e.column() < 1 || static_cast<std::size_t>(e.column()) > size + 1) std::abort();
  }
  return 0;
}
