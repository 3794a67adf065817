#include "codecs/single/power_form.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "codecs/single/single_number.h"
#include "core/error.h"
#include "core/varint.h"

namespace corvale {
namespace {

constexpr std::uint64_t kLowestBase = 2;
constexpr std::uint64_t kHighestBase = 99;
constexpr std::uint64_t kExponentBound = std::uint64_t{1} << 32;  // exponents stay below
constexpr double kMaxGap = 16.0;                                  // log2 of the largest factor
constexpr double kCloseness = 1e-8;
constexpr int kMaxHits = 64;

// Halves away from zero, then truncated into a u64.
std::uint64_t round_to_u64(double x) { return double_to_u64(std::round(x)); }

bool u64_power_equals(std::uint64_t r, unsigned k, std::uint64_t target) {
  std::uint64_t p = 1;
  for (unsigned i = 0; i < k; ++i) {
    if (__builtin_mul_overflow(p, r, &p)) return false;
  }
  return p == target;
}

// A perfect power's powers are powers of a smaller base, which is tried already.
bool is_perfect_power(std::uint64_t a) {
  for (unsigned k = 2; k <= 63; ++k) {
    const std::uint64_t r = round_to_u64(std::pow(static_cast<double>(a), 1.0 / k));
    if (r >= 2 && u64_power_equals(r, k, a)) return true;
  }
  return false;
}

std::uint64_t offset_length(const BigInt& offset) { return (offset.bit_length() + 7) / 8; }

}  // namespace

double log2_estimate(const BigInt& n) {
  const std::size_t bits = n.bit_length();
  const std::size_t shift = bits > 53 ? bits - 53 : 0;
  return std::log2(static_cast<double>(n.bits_from(shift))) + static_cast<double>(shift);
}

std::uint64_t double_to_u64(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 18446744073709551616.0) return ~std::uint64_t{0};
  return static_cast<std::uint64_t>(x);
}

std::optional<PowerCandidate> find_power_form(const BigInt& n) {
  if (n.bit_length() < 64) return std::nullopt;
  const double log2_n = log2_estimate(n);
  std::optional<PowerCandidate> best;
  std::uint64_t best_cost = 0;
  int hits = 0;
  for (std::uint64_t a = kLowestBase; a <= kHighestBase; ++a) {
    if (is_perfect_power(a)) continue;
    const double log2_a = std::log2(static_cast<double>(a));
    // From the largest exponent whose power stays below the estimate of n downward, while the
    // quotient n / a^e stays at most 2^16.
    for (std::uint64_t e = double_to_u64(log2_n / log2_a); e >= 2; --e) {
      const double gap = log2_n - static_cast<double>(e) * log2_a;
      if (gap > kMaxGap) break;
      const double q = std::exp2(gap);
      const double c = std::round(q);
      if (!(c >= 1.0 && std::fabs(q - c) <= q * kCloseness)) continue;
      if (++hits > kMaxHits) return best;
      if (e >= kExponentBound) continue;
      const std::uint64_t factor = double_to_u64(c);
      BigInt power = BigInt::pow(BigInt(a), e);
      power *= factor;
      BigInt offset = n - power;
      const std::uint64_t k = offset_length(offset);
      const std::uint64_t cost = varint_size(a) + varint_size(e) + varint_size(factor) + varint_size(k) + k;
      if (!best || cost < best_cost) {
        best = PowerCandidate{std::move(offset), a, e, factor};
        best_cost = cost;
      }
    }
  }
  return best;
}

std::string encode_power_form_payload(const PowerCandidate& candidate, std::uint8_t flags,
                                      std::uint64_t leading_zeros) {
  if (candidate.offset.sign() < 0) flags |= kFlagNegativeOffset;
  std::string out = write_binary_numeric_header(flags, leading_zeros);
  write_varint_u64(candidate.base, out);
  write_varint_u64(candidate.exponent, out);
  write_varint_u64(candidate.factor, out);
  write_varint_u64(offset_length(candidate.offset), out);
  out += candidate.offset.to_bytes_be();
  return out;
}

std::string decode_power_form_payload(std::string_view payload, std::uint64_t limit) {
  const BinaryNumericHeader h = parse_binary_numeric_header(payload, kPowerFormFlagMask, limit);
  std::string_view rest = h.rest;
  const auto next_varint = [&rest] {
    const auto [value, used] = decode_varint_u64(rest);
    rest.remove_prefix(used);
    return value;
  };
  const std::uint64_t base = next_varint();
  const std::uint64_t exponent = next_varint();
  const std::uint64_t factor = next_varint();
  const std::uint64_t k = next_varint();
  if (base < 2 || exponent == 0 || factor == 0) throw Error(kInvalidPowerForm);
  if (rest.size() != k) throw Error(kTruncatedOrExtendedPowerOffset);
  const bool negative_offset = (h.flags & kFlagNegativeOffset) != 0;
  if (k > 0 && rest[0] == '\0') throw Error(kNonCanonicalPowerOffset);
  if (k == 0 && negative_offset) throw Error(kNegativeZeroOffset);

  // The decimal length from the counts alone, before any big-integer work: a few bytes may name
  // a number of a trillion digits.
  const double estimate = static_cast<double>(h.leading_zeros) + std::log10(static_cast<double>(factor)) +
                          static_cast<double>(exponent) * std::log10(static_cast<double>(base));
  if (estimate > static_cast<double>(limit)) throw output_limit_error();
  if (exponent >= kExponentBound) throw output_limit_error();

  BigInt value = BigInt::pow(BigInt(base), exponent);
  value *= factor;
  const BigInt offset = BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(rest.data()), rest.size());
  if (negative_offset) {
    value -= offset;
  } else {
    value += offset;
  }
  if (value.sign() < 0) throw Error(kPowerFormIsNegative);
  return render_number_text(h.flags & kBinaryNumericFlagMask, h.leading_zeros, std::move(value), limit);
}

}  // namespace corvale
