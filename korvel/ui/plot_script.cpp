// SPDX-License-Identifier: MIT
#include "korvel/ui/plot_script.h"

#include <cctype>
#include <charconv>

namespace korvel::ui {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::vector<ScriptSegment> chain() {
    std::vector<ScriptSegment> out;
    out.push_back({identifier(), false, {}, std::nullopt});
    if (out[0].name != "etch") fail("a command starts with the plot engine, 'etch'");
    for (;;) {
      space();
      if (peek('(')) {
        if (out.back().called) fail("a second argument list");
        ++at_;
        out.back().called = true;
        out.back().arguments = arguments();
      } else if (peek('[')) {
        ++at_;
        space();
        out.back().subscript = index();
        space();
        expect(']');
      } else if (peek('.')) {
        ++at_;
        out.push_back({identifier(), false, {}, std::nullopt});
      } else {
        break;
      }
    }
    space();
    if (peek(';')) ++at_;
    space();
    if (at_ != text_.size()) fail("unexpected text");
    return out;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const { throw ScriptError(what + " at column " + std::to_string(at_ + 1)); }
  bool peek(char c) const { return at_ < text_.size() && text_[at_] == c; }
  void expect(char c) {
    if (!peek(c)) fail(std::string("'") + c + "' expected");
    ++at_;
  }
  void space() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  std::string identifier() {
    space();
    const std::size_t from = at_;
    while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_')) ++at_;
    if (from == at_ || std::isdigit(static_cast<unsigned char>(text_[from]))) fail("a name expected");
    return std::string(text_.substr(from, at_ - from));
  }
  long index() {
    const std::size_t from = at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
    long n = 0;
    const auto [end, error] = std::from_chars(text_.data() + from, text_.data() + at_, n);
    if (from == at_ || error != std::errc() || end != text_.data() + at_) fail("an index expected");
    return n;
  }
  std::string number() {
    const std::size_t from = at_;
    if (peek('-')) ++at_;
    while (at_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[at_])) || text_[at_] == '.' || text_[at_] == 'e' ||
                                  text_[at_] == 'E' || ((text_[at_] == '-' || text_[at_] == '+') && (text_[at_ - 1] == 'e' || text_[at_ - 1] == 'E'))))
      ++at_;
    if (at_ == from || (at_ == from + 1 && text_[from] == '-')) fail("a number expected");
    return std::string(text_.substr(from, at_ - from));
  }
  std::string string_literal() {
    const char quote = text_[at_++];
    std::string out;
    for (;;) {
      if (at_ >= text_.size()) fail("the string does not end");
      if (text_[at_] == '\r' || text_[at_] == '\n') fail("a line break inside a string");
      const char c = text_[at_++];
      if (c == quote) return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) fail("the string does not end");
      const char e = text_[at_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '\r': if (peek('\n')) ++at_; break;  // a continued line
        case '\n': break;
        default: out += e; break;  // \' \" \\ and the rest stand for themselves
      }
    }
  }
  std::vector<ScriptArgument> arguments() {
    std::vector<ScriptArgument> out;
    space();
    if (peek(')')) {
      ++at_;
      return out;
    }
    for (;;) {
      space();
      if (peek('\'') || peek('"'))
        out.push_back({true, string_literal()});
      else
        out.push_back({false, number()});
      space();
      if (peek(')')) {
        ++at_;
        return out;
      }
      expect(',');
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::vector<ScriptSegment> parse_script(std::string_view command) { return Parser(command).chain(); }

}  // namespace korvel::ui
