// SPDX-License-Identifier: MIT
#include "korvel/expr/parser.h"

#include <gtest/gtest.h>

#include <string>

#include "korvel/expr/expression_error.h"

namespace korvel::expr {
namespace {

// The tree in prefix form, numbers as %g: "(+ a (* b c))". Built by appending: GCC 12 at
// -O3 misreports `"literal" + std::string` as an overlapping copy.
std::string show(const Node& n) {
  auto form = [&](const char* head) {
    std::string s = std::string("(").append(head);
    for (const auto& c : n.children) s.append(" ").append(show(*c));
    return s.append(")");
  };
  switch (n.kind) {
    case Node::Kind::Number: {
      char text[32];
      std::snprintf(text, sizeof text, "%g", n.number);
      return text;
    }
    case Node::Kind::Name: return n.name;
    case Node::Kind::Negate: return form("-");
    case Node::Kind::Add: return form("+");
    case Node::Kind::Multiply: return form("*");
    case Node::Kind::Call: return form(n.name.c_str());
  }
  return "?";
}

// Parses `text`, expecting a failure; returns the error.
ExpressionError parse_failure(const std::string& text) {
  try {
    parse(text);
  } catch (const ExpressionError& e) {
    return e;
  }
  ADD_FAILURE() << "'" << text << "' parsed";
  return ExpressionError("parsed", 0);
}

TEST(Parser, ReadsTheDetectionChainWithProductsTighterThanSumsAndMinusTightest) {
  const std::pair<const char*, const char*> cases[] = {
      {"HRV_vDIF * HRV_vDIF + HRV_vHLB * HRV_vHLB", "(+ (* HRV_vDIF HRV_vDIF) (* HRV_vHLB HRV_vHLB))"},
      {"fiducial(HRV_vLPF,HRV_vDET,0.08,0,0.8,1.2,1,1.5,0,0,2.14748e+09,2.14748e+09,1)",
       "(fiducial HRV_vLPF HRV_vDET 0.08 0 0.8 1.2 1 1.5 0 0 2.14748e+09 2.14748e+09 1)"},
      {"0", "0"},
      {"a * b + c", "(+ (* a b) c)"},
      {"a + b + c", "(+ (+ a b) c)"},
      {"(a + b) * c", "(* (+ a b) c)"},
      {"-a * b", "(* (- a) b)"},
      {"a * -2", "(* a (- 2))"},
      {"f()", "(f)"},
      {" \tlowpass ( Ch1 , 30 ) ", "(lowpass Ch1 30)"},
  };
  for (const auto& [text, tree] : cases) EXPECT_EQ(show(*parse(text)), tree) << text;
}

TEST(Parser, ReadsNumbersInEveryPrintfForm) {
  const std::pair<const char*, double> cases[] = {{"30", 30.0},     {"0.08", 0.08},           {".5", 0.5},
                                                  {"5.", 5.0},      {"1e-3", 1e-3},           {"1E+3", 1000.0},
                                                  {"007", 7.0},     {"2.14748e+09", 2147480000.0}, {"1.23457e+06", 1234570.0}};
  for (const auto& [text, value] : cases) {
    auto tree = parse(text);
    ASSERT_EQ(tree->kind, Node::Kind::Number) << text;
    EXPECT_EQ(tree->number, value) << text;  // decimal text to the nearest double is exact
  }
}

TEST(Parser, RecordsTheColumnOfEachNode) {
  auto tree = parse("HRV_vDIF * HRV_vDIF + f(x, 2)");
  EXPECT_EQ(tree->column, 21);               // the '+'
  EXPECT_EQ(tree->children[0]->column, 10);  // the '*'
  EXPECT_EQ(tree->children[1]->column, 23);  // f
  EXPECT_EQ(tree->children[1]->children[1]->column, 28);
}

TEST(Parser, SaysWhatIsWrongAndWhere) {
  struct Case {
    const char* text;
    int column;
    const char* reason;
  };
  const Case cases[] = {
      {"", 1, "empty expression"},
      {"lowpass(Ch1,30", 15, "expected ')' to close the arguments of 'lowpass' at column 1 but found the end of the expression"},
      {"lowpass(Ch1,,30)", 13, "expected a number, a name or '(' but found ','"},
      {"a + ", 5, "expected a number, a name or '(' but found the end of the expression"},
      {"(a + b", 7, "expected ')' to match '(' at column 1 but found the end of the expression"},
      {"a b", 3, "unexpected the name 'b' after a complete expression"},
      {"Ch1 / 2", 5, "unexpected character '/'"},
      {"3x", 1, "malformed number '3x'"},
      {"1.2.3", 1, "malformed number '1.2.3'"},
      {"1e999", 1, "the number 1e999 is out of range"},
      {"a)", 2, "unexpected ')' after a complete expression"},
  };
  for (const Case& c : cases) {
    const ExpressionError e = parse_failure(c.text);
    EXPECT_EQ(e.column(), c.column) << c.text;
    EXPECT_EQ(e.reason(), c.reason) << c.text;
    EXPECT_EQ(std::string(e.what()), std::string(c.reason) + " at column " + std::to_string(c.column));
  }
}

TEST(Parser, RefusesTreesDeeperThanTheLimit) {
  auto parenthesised = [](int depth) { return std::string(static_cast<std::size_t>(depth), '(') + "a" + std::string(static_cast<std::size_t>(depth), ')'); };
  EXPECT_NO_THROW(parse(parenthesised(kMaxNesting)));
  const ExpressionError deep = parse_failure(parenthesised(kMaxNesting + 1));
  EXPECT_EQ(deep.column(), kMaxNesting + 1);  // the parenthesis one level too many
  EXPECT_EQ(deep.reason(), "expression nested more than " + std::to_string(kMaxNesting) + " levels deep");

  // Each operator of a chain deepens the tree by one level too.
  std::string chain = "a";
  for (int i = 0; i <= kMaxNesting; ++i) chain += "+a";
  EXPECT_EQ(parse_failure(chain).column(), 2 * kMaxNesting + 2);
  EXPECT_NO_THROW(parse(chain.substr(0, 2 * static_cast<std::size_t>(kMaxNesting) + 1)));
}

}  // namespace
}  // namespace korvel::expr
