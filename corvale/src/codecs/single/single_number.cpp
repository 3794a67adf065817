#include "codecs/single/single_number.h"

#include <limits>

#include "core/error.h"
#include "core/limited_append.h"
#include "core/saturating.h"
#include "core/u128.h"
#include "core/varint.h"

namespace corvale {
namespace {

std::string_view line_ending_of(std::uint8_t flags) {
  switch (flags & kLineEndingBits) {
    case kFlagLineFeed:
      return "\n";
    case kFlagCrLf:
      return "\r\n";
    default:
      return "";
  }
}

}  // namespace

bool is_single_number_text(std::string_view text) {
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") {
    text.remove_suffix(2);
  } else if (!text.empty() && text.back() == '\n') {
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<SingleNumber> split_single_number(std::string_view input) {
  if (!is_single_number_text(input)) return std::nullopt;
  SingleNumber n;
  n.text = input;
  if (input.ends_with("\r\n")) {
    n.line_ending = input.substr(input.size() - 2);
    n.flags |= kFlagCrLf;
  } else if (input.ends_with('\n')) {
    n.line_ending = input.substr(input.size() - 1);
    n.flags |= kFlagLineFeed;
  }
  n.text.remove_suffix(n.line_ending.size());
  n.digits = n.text;
  if (n.digits.front() == '-') {
    n.negative = true;
    n.flags |= kFlagNegative;
    n.digits.remove_prefix(1);
  }
  const std::size_t first_significant = n.digits.find_first_not_of('0');
  n.leading_zeros = first_significant == std::string_view::npos ? n.digits.size() - 1 : first_significant;
  if (n.leading_zeros != 0) n.flags |= kFlagLeadingZeros;
  n.significant = n.digits.substr(n.leading_zeros);
  return n;
}

std::string write_binary_numeric_header(std::uint8_t flags, std::uint64_t leading_zeros) {
  std::string out(1, static_cast<char>(flags));
  if (leading_zeros != 0) write_varint_u64(leading_zeros, out);
  return out;
}

BinaryNumericHeader parse_binary_numeric_header(std::string_view payload, std::uint8_t allowed,
                                                std::uint64_t limit) {
  if (payload.empty()) throw Error(kMissingBinaryNumericFlags);
  BinaryNumericHeader h;
  h.flags = static_cast<std::uint8_t>(payload[0]);
  if ((h.flags & ~allowed) != 0 || (h.flags & kLineEndingBits) == kLineEndingBits) {
    throw Error(kInvalidBinaryNumericFlags);
  }
  h.rest = payload.substr(1);
  if (h.flags & kFlagLeadingZeros) {
    const auto [count, used] = decode_varint_u64(h.rest);
    if (count == 0) throw Error(kZeroLeadingZeroCount);
    if (count > limit) throw output_limit_error();
    h.leading_zeros = count;
    h.rest.remove_prefix(used);
  }
  return h;
}

std::uint64_t decimal_digits_lower_bound(const BigInt& value) {
  const std::uint64_t bits = value.bit_length();
  if (bits == 0) return 1;
  // value >= 2^(bits - 1), and 1292913986 / 2^32 is below log10(2) by 1.2e-10: the bound is
  // exact or one short up to billions of bits, so a number one digit too long for its limit
  // is refused without printing it.
  constexpr u128 kLog10Of2Fixed32 = 1292913986;
  return static_cast<std::uint64_t>((bits - 1) * kLog10Of2Fixed32 >> 32) + 1;
}

std::string render_number_text(std::uint8_t flags, std::uint64_t leading_zeros, BigInt&& value,
                               std::uint64_t limit) {
  const std::uint64_t sign = (flags & kFlagNegative) ? 1 : 0;
  const std::string_view ending = line_ending_of(flags);
  const std::uint64_t fewest = saturating_add(
      saturating_add(sign + ending.size(), leading_zeros), decimal_digits_lower_bound(value));
  if (fewest > limit) throw output_limit_error();

  std::string out;
  // Room for the digits as GMP writes them (with its terminator), so they land without a copy.
  out.reserve(sign + leading_zeros + value.decimal_digits_upper_bound() + 2 + ending.size());
  append_repeated_limited(out, "-", sign, limit);
  append_repeated_limited(out, "0", leading_zeros, limit);
  value.append_decimal_magnitude_and_clear(out);
  if (out.size() > limit) throw output_limit_error();
  append_repeated_limited(out, ending, 1, limit);
  return out;
}

}  // namespace corvale
