#include "codecs/single/numeric_text.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "codecs/single/decompose.h"
#include "codecs/single/expression.h"
#include "core/error.h"
#include "core/limited_append.h"
#include "core/varint.h"
#include "core/zlib.h"

namespace corvale {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// --- base94 ---------------------------------------------------------------------------------

constexpr char kZeroDigit = '!';
constexpr char kLastDigit = '~';
constexpr unsigned kRadix = 94;
// Nine digits make one 64-bit word (94^9 < 2^64); numbers of up to 32 words convert word by
// word, longer ones by halving over squared powers, so that a long text costs n log n, not n^2.
constexpr std::size_t kWordRadixDigits = 9;
constexpr std::uint64_t kWordBase = 572994802228616704ull;  // 94^9
constexpr std::size_t kLeafDigits = 32 * kWordRadixDigits;

// powers[j] = 94^(kLeafDigits * 2^j), squared from the one below as far as a call needs.
class Base94Powers {
 public:
  const BigInt& at(std::size_t j) {
    while (powers_.size() <= j) {
      powers_.push_back(powers_.empty() ? BigInt::pow(kRadix, kLeafDigits) : powers_.back() * powers_.back());
    }
    return powers_[j];
  }

 private:
  std::vector<BigInt> powers_;
};

BigInt leaf_value(std::string_view digits) {
  BigInt v;
  for (std::size_t at = 0; at < digits.size(); at += kWordRadixDigits) {
    const std::string_view word = digits.substr(at, kWordRadixDigits);
    std::uint64_t w = 0;
    std::uint64_t scale = 1;
    for (char c : word) {
      w = w * kRadix + static_cast<unsigned>(c - kZeroDigit);
      scale *= kRadix;
    }
    v *= scale;
    v += w;
  }
  return v;
}

BigInt base94_value(std::string_view digits, Base94Powers& powers) {
  if (digits.size() <= kLeafDigits) return leaf_value(digits);
  // The low part is the largest leaf-times-power-of-two length below the whole, so its power is
  // in the table and the high part is never the longer one.
  std::size_t j = 0;
  while ((kLeafDigits << (j + 1)) < digits.size()) ++j;
  const std::size_t low = kLeafDigits << j;
  BigInt v = base94_value(digits.substr(0, digits.size() - low), powers);
  v *= powers.at(j);
  v += base94_value(digits.substr(digits.size() - low), powers);
  return v;
}

// Appends the digits of v (v < powers[level], or v < 94^kLeafDigits at level 0), left-padded
// with zero digits to at least pad.
void append_base94_digits(const BigInt& v, std::size_t level, std::size_t pad, Base94Powers& powers,
                          std::string& out) {
  if (level == 0) {
    std::string reversed;
    BigInt x = v;
    while (!x.is_zero()) {
      std::uint64_t word = x.rem_u64(kWordBase);
      x -= word;
      x.divide_exact(kWordBase);
      for (std::size_t i = 0; i < kWordRadixDigits; ++i, word /= kRadix) {
        reversed.push_back(static_cast<char>(kZeroDigit + word % kRadix));
      }
    }
    while (!reversed.empty() && reversed.back() == kZeroDigit) reversed.pop_back();
    if (reversed.size() < std::max<std::size_t>(pad, 1)) reversed.resize(std::max<std::size_t>(pad, 1), kZeroDigit);
    out.append(reversed.rbegin(), reversed.rend());
    return;
  }
  const std::size_t half = kLeafDigits << (level - 1);
  BigInt q, r;
  BigInt::div_rem(v, powers.at(level - 1), q, r);
  append_base94_digits(q, level - 1, pad > half ? pad - half : 0, powers, out);
  append_base94_digits(r, level - 1, half, powers, out);
}

bool is_base94_digit(char c) { return c >= kZeroDigit && c <= kLastDigit; }

// --- one single-number text ----------------------------------------------------------------

// How long one single-number text's result may be, and what it is called when it is longer.
// Every byte stage (base94, zlib) is held to the whole limit on its own, as a chunk is too: a
// chunk's bytes may hold more zero bytes than the width has digits.
struct TextRoom {
  std::uint64_t bytes;   // what each byte stage may produce
  std::uint64_t length;  // the longest result
  const char* too_long;
};

std::string inflate_limited(std::string_view stream, std::uint64_t limit) {
  std::string out;
  inflate_zlib_prefix(stream, limit, out);
  if (out.size() > limit) throw Error(kNumericPayloadExceedsLimit);
  return out;
}

std::string inflated_base94(std::string_view text, std::uint64_t limit) {
  return inflate_limited(decode_base94(text, limit), limit);
}

// The signed decimal text of a magnitude, refused from its bit length when it cannot fit.
std::string signed_decimal(bool negative, const BigInt& magnitude, const TextRoom& room) {
  if ((negative ? 1 : 0) + decimal_digits_lower_bound(magnitude) > room.length) throw Error(room.too_long);
  std::string text = negative ? "-" : "";
  magnitude.append_decimal_magnitude(text);
  return text;
}

std::string decimal_of_bytes(bool negative, std::string_view bytes, const TextRoom& room) {
  return signed_decimal(negative, BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
                        room);
}

// Each call has an expression budget of its own, whether the text is the whole payload or one
// chunk of it: the work of a chunked payload is bounded by its number of chunks, which its
// length bounds and the output limit too (every chunk adds a digit at least).
std::string decode_single_text(std::string_view text, const TextRoom& room) {
  if (text.empty()) throw Error(kEmptyNumericPayload);
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    throw Error(kNumericPayloadMustBeAscii);
  }
  const char prefix = text[0];
  std::string_view rest = text.substr(1);
  switch (prefix) {
    case 'R':
      return std::string(rest);
    case 'B': {
      const bool negative = rest.starts_with('-');
      if (negative) rest.remove_prefix(1);
      return decimal_of_bytes(negative, decode_base94(rest, room.bytes), room);
    }
    case 'Z': {
      // The sign is optional here and '-' is itself a base94 digit, so the text is first read
      // as unsigned and only on failure as negative.
      std::string bytes;
      bool negative = false;
      try {
        bytes = inflated_base94(rest, room.bytes);
      } catch (const Error&) {
        if (!rest.starts_with('-')) throw;
        negative = true;
        bytes = inflated_base94(rest.substr(1), room.bytes);
      }
      return decimal_of_bytes(negative, bytes, room);
    }
    case 'b':
    case 'z': {
      if (rest.empty() || (rest[0] != '+' && rest[0] != '-')) throw Error(kMissingNumericPayloadSign);
      const bool negative = rest[0] == '-';
      rest.remove_prefix(1);
      const std::string bytes = prefix == 'z' ? inflated_base94(rest, room.bytes) : decode_base94(rest, room.bytes);
      return decimal_of_bytes(negative, bytes, room);
    }
    case 'M': {
      const bool negated = rest.starts_with('-');
      if (negated) rest.remove_prefix(1);
      BigInt v = parse_integer_expression(rest);
      if (negated) v = -v;
      return signed_decimal(v.sign() < 0, v, room);
    }
    default:
      throw Error(std::string(kUnknownNumericPrefix) + prefix);
  }
}

// --- the payload ------------------------------------------------------------------------------

std::uint64_t saturating_sub(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

bool is_valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n;
    std::uint32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3, cp = b & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= n) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

// An optional '+', then decimal digits that fit in 64 bits.
std::optional<std::uint64_t> parse_chunk_width(std::string_view s) {
  if (s.starts_with('+')) s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  std::uint64_t w = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    const unsigned d = static_cast<unsigned>(c - '0');
    if (w > (kMax - d) / 10) return std::nullopt;
    w = w * 10 + d;
  }
  return w;
}

// The digits of the chunked form: the first chunk as it is, every later one left-padded with
// '0' to the width. Each chunk is read like a whole single-number text under the limit; only
// its digits are held to the width.
std::string read_chunked(std::string_view rest, bool negative, std::uint64_t limit) {
  const std::size_t header_end = rest.find('\n');
  if (header_end == std::string_view::npos) throw Error(kMissingChunkHeader);
  const std::optional<std::uint64_t> width = parse_chunk_width(rest.substr(0, header_end));
  if (!width || *width == 0 || *width > limit) throw Error(kInvalidChunkWidth);
  const TextRoom room{limit, *width, kInvalidNumericChunk};

  std::string out;
  append_repeated_limited(out, "-", negative ? 1 : 0, limit);
  std::string_view chunks = rest.substr(header_end + 1);
  for (bool first = true;; first = false) {
    const std::size_t end = chunks.find('\n');
    const std::string_view chunk = chunks.substr(0, end);
    const std::string t = decode_single_text(chunk, room);
    if (t.empty() || t.size() > *width ||
        !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      throw Error(kInvalidNumericChunk);
    }
    if (!first) append_repeated_limited(out, "0", *width - t.size(), limit);
    append_repeated_limited(out, t, 1, limit);
    if (end == std::string_view::npos) return out;
    chunks.remove_prefix(end + 1);
  }
}

}  // namespace

std::string encode_base94(std::string_view bytes) {
  std::string out(1, static_cast<char>(kZeroDigit + bytes.size() % kRadix));
  const BigInt v = BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  Base94Powers powers;
  std::size_t level = 0;
  while (v >= powers.at(level)) ++level;
  append_base94_digits(v, level, 0, powers, out);
  return out;
}

std::string decode_base94(std::string_view text, std::uint64_t limit) {
  if (text.size() < 2 || !std::all_of(text.begin(), text.end(), is_base94_digit)) throw Error(kInvalidBase94Payload);
  const std::uint64_t length = text.size();
  const std::uint64_t most_bytes = length > kMax / 7 ? kMax : 7 * length / 8;
  if (most_bytes > (limit > kMax - 8 ? kMax : limit + 8)) throw Error(kNumericPayloadExceedsLimit);
  const std::uint64_t marker = static_cast<unsigned>(text[0] - kZeroDigit);
  std::string bytes;
  {
    // The powers and the value go as soon as the bytes exist: a long text is held once.
    Base94Powers powers;
    const BigInt v = base94_value(text.substr(1), powers);
    if ((v.bit_length() + 7) / 8 > limit) throw Error(kNumericPayloadExceedsLimit);
    bytes = v.is_zero() ? std::string(1, '\0') : v.to_bytes_be();
  }
  // The length character keeps leading zero bytes; one that claims fewer bytes is not checked.
  if (marker > bytes.size()) bytes.insert(0, marker - bytes.size(), '\0');
  if (bytes.size() > limit) throw Error(kNumericPayloadExceedsLimit);
  return bytes;
}

std::string decode_numeric_text_payload(std::string_view text, std::uint64_t limit) {
  return decode_single_text(text, {limit, limit, kOutputLimitExceeded});
}

std::string encode_numeric_text_payload(const SingleNumber& number, const BigInt& magnitude) {
  const std::string_view digits = number.digits;
  std::string best;
  if (digits[0] == '0' && (digits.size() > 1 || number.negative)) {
    // Only the digits as written keep leading zeros and a negative zero.
    best = "R" + std::string(number.text);
  } else {
    std::vector<std::string> candidates;
    if (digits.size() <= kMaxExpressionDigits) {
      DecomposeCache cache;
      const std::string x = decompose_integer_expression(magnitude, 0, cache);
      try {
        if (parse_integer_expression(x) == magnitude) candidates.push_back("M" + std::string(number.negative ? "-" : "") + x);
      } catch (const Error&) {
        // A text that does not read back is simply not offered.
      }
    }
    const char sign = number.negative ? '-' : '+';
    const std::string bytes = magnitude.is_zero() ? std::string(1, '\0') : magnitude.to_bytes_be();
    const std::string deflated = zlib_compress_best(bytes);
    if (deflated.size() < bytes.size()) candidates.push_back(std::string("z") + sign + encode_base94(deflated));
    const std::uint64_t estimate = (magnitude.bit_length() + 6) / 7 + 3;
    const auto shortest = [&] {
      std::size_t s = kMax;
      for (const std::string& c : candidates) s = std::min(s, c.size());
      return s;
    };
    if (candidates.empty() || estimate < shortest()) candidates.push_back(std::string("b") + sign + encode_base94(bytes));
    candidates.push_back("R" + std::string(number.text));
    best = std::move(candidates[0]);
    for (std::size_t i = 1; i < candidates.size(); ++i) keep_shorter_candidate(best, std::move(candidates[i]));
  }
  best.append(number.line_ending);
  return best;
}

std::string decode_numeric_text_archive(std::string_view payload, std::uint64_t limit) {
  std::string_view ending;
  if (payload.ends_with("\r\n")) {
    ending = payload.substr(payload.size() - 2);
  } else if (payload.ends_with('\n')) {
    ending = payload.substr(payload.size() - 1);
  }
  const std::string_view body = payload.substr(0, payload.size() - ending.size());
  if (!is_valid_utf8(body)) throw Error(kNumericPayloadMustBeAscii);

  std::string text;
  if (body.starts_with("-C")) {
    text = read_chunked(body.substr(2), true, limit);
  } else if (body.starts_with('C')) {
    text = read_chunked(body.substr(1), false, limit);
  } else {
    text = decode_single_text(body, {limit, saturating_sub(limit, ending.size()), kOutputLimitExceeded});
  }
  if (text.size() > limit) throw output_limit_error();
  append_repeated_limited(text, ending, 1, limit);
  return text;
}

}  // namespace corvale
