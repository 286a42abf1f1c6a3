// SPDX-License-Identifier: MIT
#include "korvel/expr/parser.h"

#include <charconv>
#include <string>
#include <system_error>

#include "korvel/expr/expression_error.h"
#include "korvel/expr/names.h"

namespace korvel::expr {
namespace {

enum class TokenKind { Number, Name, Plus, Star, Minus, Open, Close, Comma, End };

struct Token {
  TokenKind kind = TokenKind::End;
  int column = 1;
  std::string_view text;
  double number = 0.0;
};


std::string describe(const Token& t) {
  switch (t.kind) {
    case TokenKind::End: return "the end of the expression";
    case TokenKind::Number: return "the number " + std::string(t.text);
    case TokenKind::Name: return "the name '" + std::string(t.text) + "'";
    default: return "'" + std::string(t.text) + "'";
  }
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token next() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    Token t;
    t.column = static_cast<int>(pos_) + 1;
    if (pos_ == text_.size()) return t;
    const std::size_t start = pos_;
    const char c = text_[pos_];
    if (is_digit(c) || (c == '.' && pos_ + 1 < text_.size() && is_digit(text_[pos_ + 1]))) {
      scan_number();
      t.kind = TokenKind::Number;
      t.text = text_.substr(start, pos_ - start);
      auto [end, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), t.number);
      if (ec == std::errc::result_out_of_range) throw ExpressionError("the number " + std::string(t.text) + " is out of range", t.column);
      if (ec != std::errc() || end != t.text.data() + t.text.size())
        throw ExpressionError("malformed number '" + std::string(t.text) + "'", t.column);
      return t;
    }
    if (is_name_start(c)) {
      while (pos_ < text_.size() && is_name_char(text_[pos_])) ++pos_;
      t.kind = TokenKind::Name;
      t.text = text_.substr(start, pos_ - start);
      return t;
    }
    ++pos_;
    t.text = text_.substr(start, 1);
    switch (c) {
      case '+': t.kind = TokenKind::Plus; return t;
      case '*': t.kind = TokenKind::Star; return t;
      case '-': t.kind = TokenKind::Minus; return t;
      case '(': t.kind = TokenKind::Open; return t;
      case ')': t.kind = TokenKind::Close; return t;
      case ',': t.kind = TokenKind::Comma; return t;
      default: break;
    }
    const bool printable = c >= 0x20 && c < 0x7F;
    throw ExpressionError(printable ? "unexpected character '" + std::string(1, c) + "'" : "unexpected character", t.column);
  }

 private:
  // Digits with at most one '.', then an optional exponent "e[+-]digits". Letters glued to
  // the number ("3x") are taken in so that the whole token is reported as malformed.
  void scan_number() {
    while (pos_ < text_.size() && (is_digit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      std::size_t p = pos_ + 1;
      if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) ++p;
      if (p < text_.size() && is_digit(text_[p])) pos_ = p;
    }
    while (pos_ < text_.size() && is_name_char(text_[pos_])) ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) { advance(); }

  std::unique_ptr<Node> expression() {
    if (current_.kind == TokenKind::End) throw ExpressionError("empty expression", current_.column);
    auto node = sum();
    if (current_.kind != TokenKind::End) throw ExpressionError("unexpected " + describe(current_) + " after a complete expression", current_.column);
    return node;
  }

 private:
  void advance() { current_ = lexer_.next(); }

  std::unique_ptr<Node> binary(Node::Kind kind, int column, std::unique_ptr<Node> lhs, std::unique_ptr<Node> rhs) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->column = column;
    node->children.push_back(std::move(lhs));
    node->children.push_back(std::move(rhs));
    return node;
  }

  // Counts levels of the tree being built for the lifetime of the object. Every binary
  // operator of a chain makes the tree one level deeper, as do parentheses, calls and
  // unary minus, so the limit bounds the tree's height and with it every recursion over it.
  class Nesting {
   public:
    explicit Nesting(int& depth) : depth_(depth) {}
    Nesting(int& depth, int column) : depth_(depth) { enter(column); }
    ~Nesting() { depth_ -= levels_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

    void enter(int column) {
      ++levels_;
      if (++depth_ > kMaxNesting) throw ExpressionError("expression nested more than " + std::to_string(kMaxNesting) + " levels deep", column);
    }

   private:
    int& depth_;
    int levels_ = 0;
  };

  std::unique_ptr<Node> sum() {
    Nesting chain(depth_);
    auto lhs = product();
    while (current_.kind == TokenKind::Plus) {
      const int column = current_.column;
      chain.enter(column);
      advance();
      lhs = binary(Node::Kind::Add, column, std::move(lhs), product());
    }
    return lhs;
  }

  std::unique_ptr<Node> product() {
    Nesting chain(depth_);
    auto lhs = unary();
    while (current_.kind == TokenKind::Star) {
      const int column = current_.column;
      chain.enter(column);
      advance();
      lhs = binary(Node::Kind::Multiply, column, std::move(lhs), unary());
    }
    return lhs;
  }

  std::unique_ptr<Node> unary() {
    if (current_.kind != TokenKind::Minus) return primary();
    Nesting nest(depth_, current_.column);
    auto node = std::make_unique<Node>();
    node->kind = Node::Kind::Negate;
    node->column = current_.column;
    advance();
    node->children.push_back(unary());
    return node;
  }

  std::unique_ptr<Node> primary() {
    auto node = std::make_unique<Node>();
    node->column = current_.column;
    switch (current_.kind) {
      case TokenKind::Number:
        node->kind = Node::Kind::Number;
        node->number = current_.number;
        advance();
        return node;
      case TokenKind::Name:
        node->kind = Node::Kind::Name;
        node->name = std::string(current_.text);
        advance();
        if (current_.kind == TokenKind::Open) call_arguments(*node);
        return node;
      case TokenKind::Open: {
        Nesting nest(depth_, current_.column);
        const int open = current_.column;
        advance();
        auto inner = sum();
        expect_close("to match '(' at column " + std::to_string(open));
        return inner;
      }
      default:
        throw ExpressionError("expected a number, a name or '(' but found " + describe(current_), current_.column);
    }
  }

  void call_arguments(Node& call) {
    Nesting nest(depth_, current_.column);
    call.kind = Node::Kind::Call;
    advance();  // '('
    if (current_.kind != TokenKind::Close) {
      call.children.push_back(sum());
      while (current_.kind == TokenKind::Comma) {
        advance();
        call.children.push_back(sum());
      }
    }
    expect_close("to close the arguments of '" + call.name + "' at column " + std::to_string(call.column));
  }

  void expect_close(const std::string& purpose) {
    if (current_.kind != TokenKind::Close)
      throw ExpressionError("expected ')' " + purpose + " but found " + describe(current_), current_.column);
    advance();
  }

  Lexer lexer_;
  Token current_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<Node> parse(std::string_view text) { return Parser(text).expression(); }

}  // namespace korvel::expr
