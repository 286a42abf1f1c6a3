// SPDX-License-Identifier: MIT
#include "korvel/expr/resolve.h"

#include <gtest/gtest.h>

#include <tuple>

#include "korvel/expr/expression_error.h"
#include "korvel/expr/names.h"
#include "korvel/expr/parser.h"

namespace korvel::expr {
namespace {

// Two recorded channels; computed channels "Env" (sampled), "Peaks" (events) and "Empty"
// (no calculation); a host-style function "lowpass(x, fc)" and an enumerator-style
// function "Fiducial(Signal, Reference, Width[s])".
class TestScope final : public Scope {
 public:
  TestScope() {
    lowpass_.name = "lowpass";
    lowpass_.parameters = {{"", ValueKind::Sampled}, {"", ValueKind::Number}};
    lowpass_.result = ValueKind::Sampled;
    fiducial_.name = "Fiducial";
    fiducial_.parameters = {{"Signal", ValueKind::Sampled}, {"Reference", ValueKind::Events}, {"Width[s]", ValueKind::Number, 0.01, 10}};
    fiducial_.result = ValueKind::Events;
  }
  std::int32_t recorded_channel_count() const override { return 2; }
  std::optional<ComputedChannelInfo> find_computed(std::string_view name) const override {
    if (name == "Env") return ComputedChannelInfo{10, ValueKind::Sampled};
    if (name == "Peaks") return ComputedChannelInfo{11, ValueKind::Events};
    if (name == "Empty") return ComputedChannelInfo{12, std::nullopt};
    return std::nullopt;
  }
  const FunctionSignature* find_function(std::string_view name) const override {
    if (iequals(name, "lowpass")) return &lowpass_;
    if (iequals(name, "fiducial")) return &fiducial_;
    return nullptr;
  }

  FunctionSignature lowpass_, fiducial_;
};

// A resolved expression points at the signatures of the scope it was resolved in, so the
// scope outlives every test.
const TestScope& test_scope() {
  static const TestScope scope;
  return scope;
}

Resolved compile(const std::string& text) { return resolve(*parse(text), test_scope()); }

ExpressionError compile_failure(const std::string& text) {
  try {
    compile(text);
  } catch (const ExpressionError& e) {
    return e;
  }
  ADD_FAILURE() << "'" << text << "' resolved";
  return ExpressionError("resolved", 0);
}

TEST(Resolve, NamesRecordedChannelsFromOneInEitherForm) {
  const Resolved ch = compile("Ch2");
  EXPECT_EQ(std::tuple(ch.op, ch.channel, ch.kind), std::tuple(Resolved::Op::Recorded, 1, ValueKind::Sampled));
  EXPECT_EQ(std::tuple(compile("RCh1").channel, compile("rch2").channel), std::tuple(0, 1));
  EXPECT_EQ(compile_failure("Ch3").what(), std::string("no recorded channel 'Ch3': the document has 2 channels at column 1"));
  // "Ch0" and "Ch01" are not channel references; with no such computed channel they are unknown.
  EXPECT_EQ(compile_failure("Ch0").reason(), "unknown channel 'Ch0'");
  EXPECT_EQ(compile_failure("Ch01").reason(), "unknown channel 'Ch01'");
}

TEST(Resolve, FindsFunctionsWithoutRegardToCaseAndKeepsTheirKinds) {
  const Resolved f = compile("fiducial(LOWPASS(Ch1,30), Peaks, 0.08)");
  EXPECT_EQ(std::tuple(f.op, f.function->name, f.kind), std::tuple(Resolved::Op::Call, "Fiducial", ValueKind::Events));
  ASSERT_EQ(f.operands.size(), 3u);
  EXPECT_EQ(f.operands[0].function->name, "lowpass");
  EXPECT_EQ(std::tuple(f.operands[1].op, f.operands[1].channel, f.operands[2].value), std::tuple(Resolved::Op::Computed, 11, 0.08));
}

TEST(Resolve, RefusesWhatCannotBeEvaluatedSayingWhatAndWhere) {
  struct Case {
    const char* text;
    const char* what;
  };
  const Case cases[] = {
      {"Nope + 1", "unknown channel 'Nope' at column 1"},
      {"Empty", "channel 'Empty' has no calculation at column 1"},
      {"smooth(Ch1)", "unknown function 'smooth' at column 1"},
      {"Ch1 * lowpass", "function 'lowpass' needs its arguments in parentheses at column 7"},
      {"lowpass(Ch1)", "'lowpass' takes 2 arguments but 1 was given at column 1"},
      {"lowpass(Ch1, 3, 4)", "'lowpass' takes 2 arguments but 3 were given at column 1"},
      {"lowpass(Ch1, Ch2)", "argument 2 of 'lowpass' must be a number but is a sampled channel at column 14"},
      {"lowpass(Peaks, 30)", "argument 1 of 'lowpass' must be a sampled channel but is an event channel at column 9"},
      {"fiducial(Ch1, Env, 0.08)", "parameter 'Reference' of 'Fiducial' must be an event channel but is a sampled channel at column 15"},
      {"fiducial(Ch1, Peaks, 20)", "parameter 'Width[s]' of 'Fiducial' is 20, outside its range 0.01 to 10 at column 22"},
      {"fiducial(Ch1, Peaks, 0.001)", "parameter 'Width[s]' of 'Fiducial' is 0.001, outside its range 0.01 to 10 at column 22"},
      {"Peaks * 2", "arithmetic needs numbers or sampled channels, but channel 'Peaks' yields events at column 1"},
      {"-fiducial(Ch1, Peaks, 1)", "arithmetic needs numbers or sampled channels, but 'Fiducial' yields events at column 2"},
  };
  for (const Case& c : cases) EXPECT_EQ(compile_failure(c.text).what(), std::string(c.what)) << c.text;
  EXPECT_NO_THROW(compile("fiducial(Ch1, Peaks, 0.01)")) << "the edges of a range are inside";
  EXPECT_NO_THROW(compile("fiducial(Ch1, Peaks, 10)"));
}

}  // namespace
}  // namespace korvel::expr
