#include "codecs/single/expression.h"

#include <string>

#include "core/digits.h"
#include "core/error.h"

namespace corvale {
namespace {

constexpr std::uint64_t kMaxNestingDepth = 65;  // reaching it fails
constexpr std::uint64_t kMaxExponent = 100000;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool is_hex_digit(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool is_alnum(char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class ExpressionParser {
 public:
  explicit ExpressionParser(std::string_view text) : text_(text) {}

  BigInt parse() {
    BigInt v = sum(0);
    skip_blanks();
    if (pos_ != text_.size()) throw Error(kUnexpectedExpressionToken);
    return v;
  }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
  }
  bool next_is(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool next_is(std::string_view s) const { return text_.substr(pos_).starts_with(s); }

  // Blanks before the token stay consumed whatever follows.
  bool expect_token(std::string_view token) {
    skip_blanks();
    if (!next_is(token)) return false;
    pos_ += token.size();
    return true;
  }

  BigInt check_evaluation_limit(BigInt value) {
    if (++operations_ > kMaxExpressionOperations || value.bit_length() > kMaxExpressionBits) {
      throw Error(kExpressionExceedsLimit);
    }
    return value;
  }

  BigInt sum(std::uint64_t depth) {
    BigInt v = product(depth);
    for (;;) {
      skip_blanks();
      if (next_is('+')) {
        ++pos_;
        v = check_evaluation_limit(v + product(depth));
      } else if (next_is('-')) {
        ++pos_;
        v = check_evaluation_limit(v - product(depth));
      } else {
        return v;
      }
    }
  }

  BigInt product(std::uint64_t depth) {
    BigInt v = power(depth);
    for (;;) {
      skip_blanks();
      if (next_is('*')) {
        ++pos_;
        v = check_evaluation_limit(v * power(depth));
      } else if (next_is("//")) {
        pos_ += 2;
        const BigInt r = power(depth);
        if (r.is_zero()) throw Error(kDivisionByZero);
        BigInt q, m;
        BigInt::div_floor(v, r, q, m);
        v = check_evaluation_limit(std::move(q));
      } else {
        return v;
      }
    }
  }

  BigInt power(std::uint64_t depth) {
    if (depth >= kMaxNestingDepth) throw Error(kExpressionNestingExceedsLimit);
    for (;;) {
      skip_blanks();
      if (!next_is('+')) break;
      ++pos_;
      if (++depth >= kMaxNestingDepth) throw Error(kExpressionNestingExceedsLimit);
    }
    skip_blanks();
    const std::uint64_t inner = depth + 1;
    BigInt v;
    if (next_is('-')) {
      // The operand of a unary minus is a whole power: -2**2 is -(2**2).
      ++pos_;
      return -power(inner);
    }
    if (next_is('(')) {
      ++pos_;
      v = sum(inner);
      skip_blanks();
      if (!next_is(')')) throw Error(kMissingClosingParenthesis);
      ++pos_;
    } else {
      v = literal();
    }
    skip_blanks();
    if (!next_is("**")) return v;
    pos_ += 2;
    const BigInt e = power(inner);
    if (e.sign() < 0 || e.bit_length() > 32) throw Error(kPowerMustBeNonnegative);
    const std::uint64_t exponent = e.to_u64();
    if (exponent > kMaxExponent || v.bit_length() * exponent > kMaxExpressionBits) {
      throw Error(kPowerExceedsLimit);
    }
    return check_evaluation_limit(BigInt::pow(v, exponent));
  }

  BigInt literal() {
    if (next_is("int")) return base36_literal();
    int radix = 10;
    if (next_is("0x") || next_is("0X")) {
      pos_ += 2;
      radix = 16;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && (radix == 16 ? is_hex_digit(text_[pos_]) : is_digit(text_[pos_]))) ++pos_;
    if (pos_ == start) throw Error(kExpectedAnInteger);
    return check_evaluation_limit(BigInt::from_digits(text_.substr(start, pos_ - start), radix));
  }

  // int('digits',36), with either quote, blanks around the punctuation but not inside the quotes.
  BigInt base36_literal() {
    pos_ += 3;
    skip_blanks();
    if (!next_is('(')) throw Error(kExpectedBase36Literal);
    ++pos_;
    skip_blanks();
    if (pos_ == text_.size()) throw Error(kMissingBase36String);
    const char quote = text_[pos_];
    if (quote != '\'' && quote != '"') throw Error(kExpectedQuotedBase36Digits);
    ++pos_;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && is_alnum(text_[pos_])) ++pos_;
    if (pos_ == start) throw Error(kInvalidBase36Integer);
    // GMP reads letters of either case as the digits 10 to 35 in bases up to 36.
    BigInt v = BigInt::from_digits(text_.substr(start, pos_ - start), 36);
    if (!next_is(quote)) throw Error(kInvalidBase36String);
    ++pos_;
    if (!(expect_token(",") && expect_token("36") && expect_token(")"))) throw Error(kOnlyIntBase36Supported);
    return check_evaluation_limit(std::move(v));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::uint64_t operations_ = 0;
};

}  // namespace

BigInt parse_integer_expression(std::string_view text) {
  if (text.size() > kMaxExpressionLength) throw Error(kInvalidIntegerExpression);
  for (unsigned char c : text) {
    if (c >= 0x80) throw Error(kInvalidIntegerExpression);
  }
  return ExpressionParser(text).parse();
}

}  // namespace corvale
