#include "codecs/single/decompose.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace corvale {
namespace {

constexpr std::uint64_t kMaxDecompositionDepth = 4;
constexpr std::size_t kMaxBits = 4096;
constexpr std::uint64_t kMaxRootDegree = 1024;
constexpr std::uint64_t kMaxSmallBase = 36;
constexpr std::int64_t kMaxSmallOffset = 1000000;

// The 168 primes below 1000, by trial division at compile time.
constexpr std::array<std::uint64_t, 168> kPrimesBelow1000 = [] {
  std::array<std::uint64_t, 168> out{};
  std::size_t count = 0;
  for (std::uint64_t p = 2; p <= 997; ++p) {
    bool prime = true;
    for (std::size_t i = 0; i < count && out[i] * out[i] <= p; ++i) prime = prime && p % out[i] != 0;
    if (prime) out[count++] = p;
  }
  return out;
}();
static_assert(kPrimesBelow1000.back() == 997);

bool all_digits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string power_text(std::string_view base, std::uint64_t exponent) {
  std::string s(base);
  s += "**";
  s += std::to_string(exponent);
  return s;
}

class Decomposer {
 public:
  Decomposer(const BigInt& n, std::uint64_t depth, DecomposeCache& cache)
      : n_(n), depth_(depth), cache_(cache), decimal_(n.to_decimal()), best_(decimal_) {}

  std::string run() {
    if (const auto hit = cache_.find(decimal_); hit != cache_.end()) return hit->second;
    bits_ = n_.bit_length();
    if (n_ < BigInt(100) || depth_ >= kMaxDecompositionDepth || bits_ > kMaxBits) return decimal_;
    exact_powers();
    root_approximation();
    small_base_with_offset();
    trailing_zeros();
    small_prime_factors();
    repeated_digit();
    repeated_block();
    digit_block_sums();
    if (decimal_.size() >= 5) keep("0x" + n_.to_digits(16));
    if (decimal_.size() >= 20) keep("int('" + n_.to_digits(36) + "',36)");
    cache_.emplace(decimal_, best_);
    return best_;
  }

 private:
  void keep(std::string candidate) { keep_shorter_candidate(best_, std::move(candidate)); }
  std::string decompose(const BigInt& x) { return decompose_integer_expression(x, depth_ + 1, cache_); }

  void exact_powers() {
    for (std::uint64_t k = 2; k < bits_; ++k) {
      bool exact = false;
      const BigInt r = BigInt::root(n_, k, &exact);
      if (exact) keep(power_text(r.to_decimal(), k));
      if (r < BigInt(2)) break;  // every later root is 1 too, and 1**k is not n
    }
  }

  // The power c**k nearest below or above n by the length of its text plus that of the offset;
  // only the single best estimate gets decomposed.
  void root_approximation() {
    struct Pick {
      BigInt c;
      std::uint64_t k;
      BigInt d;
    };
    std::optional<Pick> pick;
    std::uint64_t estimate_best = decimal_.size();
    const std::uint64_t top = std::min<std::uint64_t>(bits_, kMaxRootDegree);
    for (std::uint64_t k = 2; k <= top; ++k) {
      const BigInt r = BigInt::root(n_, k);
      const std::uint64_t k_digits = std::to_string(k).size();
      for (int step = 0; step < 2; ++step) {
        BigInt c = r;
        if (step == 1) c += 1;
        if (c < BigInt(2)) continue;
        BigInt d = n_ - BigInt::pow(c, k);
        std::uint64_t estimate = c.decimal_digits() + 2 + k_digits;
        if (!d.is_zero()) estimate += d.decimal_digits() + 3;
        if (estimate < estimate_best) {
          estimate_best = estimate;
          pick = Pick{std::move(c), k, std::move(d)};
        }
      }
    }
    if (!pick) return;
    std::string base = decompose(pick->c);
    if (!all_digits(base)) base = "(" + base + ")";
    std::string text = power_text(base, pick->k);
    if (!pick->d.is_zero()) {
      const std::string offset = decompose(pick->d.abs());
      text += pick->d.sign() > 0 ? "+(" : "-(";
      text += offset;
      text += ")";
    }
    keep(std::move(text));
  }

  void small_base_with_offset() {
    const BigInt twice = n_ << 1;
    const BigInt max_offset(static_cast<std::uint64_t>(kMaxSmallOffset));
    for (std::uint64_t b = 2; b <= kMaxSmallBase; ++b) {
      BigInt p(b * b);
      for (std::uint64_t k = 2; p <= twice; ++k, p *= b) {
        // A power two or more bits shorter than n is below n / 2, so more than n / 2 away; from
        // 2^21 on that is past the offset allowed. Only powers next to n need the subtraction.
        if (p.bit_length() + 2 <= bits_ && bits_ > 21) continue;
        const BigInt d = n_ - p;
        if (d.abs() > max_offset) continue;
        std::string text = power_text(std::to_string(b), k);
        if (d.sign() > 0) text += "+";
        if (!d.is_zero()) text += d.to_decimal();
        keep(std::move(text));
      }
    }
  }

  void trailing_zeros() {
    const std::size_t last = decimal_.find_last_not_of('0');
    const std::size_t zeros = decimal_.size() - 1 - last;
    if (zeros == 0) return;
    const BigInt q = BigInt::from_decimal(std::string_view(decimal_).substr(0, last + 1));
    keep("(" + decompose(q) + ")*10**" + std::to_string(zeros));
  }

  void small_prime_factors() {
    BigInt m = n_;
    std::vector<std::string> factors;
    for (std::uint64_t p : kPrimesBelow1000) {
      if (m.is_zero() || (m.fits_u64() && m.to_u64() < p * p)) break;
      std::uint64_t e = 0;
      while (m.rem_u64(p) == 0) {
        m.divide_exact(p);
        ++e;
      }
      if (e == 1) factors.push_back(std::to_string(p));
      if (e >= 2) factors.push_back(power_text(std::to_string(p), e));
    }
    if (factors.empty()) return;
    if (m > BigInt(1)) factors.push_back("(" + decompose(m) + ")");
    std::string text;
    for (const std::string& f : factors) {
      if (!text.empty()) text += "*";
      text += f;
    }
    keep(std::move(text));
  }

  // A repunit times the repeated part: (10**L-1)//(10**p-1) repeats a p-digit block.
  std::string repunit_text(std::string_view block) const {
    std::string t = "(10**" + std::to_string(decimal_.size()) + "-1)//" + std::string(block.size(), '9');
    return block == "1" ? t : std::string(block) + "*" + t;
  }

  void repeated_digit() {
    if (decimal_.find_first_not_of(decimal_[0]) == std::string::npos) keep(repunit_text(decimal_.substr(0, 1)));
  }

  void repeated_block() {
    const std::size_t length = decimal_.size();
    for (std::size_t p = 1; p <= length / 3; ++p) {
      if (length % p != 0) continue;
      const std::string_view block = std::string_view(decimal_).substr(0, p);
      bool repeats = true;
      for (std::size_t at = p; repeats && at < length; at += p) repeats = decimal_.compare(at, p, block) == 0;
      if (repeats) keep(repunit_text(block));
    }
  }

  void digit_block_sums() {
    const std::size_t length = decimal_.size();
    if (length < 10) return;
    for (std::size_t w : std::array<std::size_t, 3>{length / 3, length / 4, length / 2}) {
      if (w < 3) continue;
      std::vector<std::string> pieces;  // lowest block first
      for (std::size_t i = 0; i * w < length; ++i) {
        const std::size_t end = length - i * w;
        const std::size_t start = end > w ? end - w : 0;
        const BigInt block = BigInt::from_decimal(std::string_view(decimal_).substr(start, end - start));
        if (block.is_zero()) continue;
        const std::string scale = "10**" + std::to_string(i * w);
        if (i == 0) {
          pieces.push_back("(" + decompose(block) + ")");
        } else if (block == 1) {
          pieces.push_back(scale);
        } else {
          pieces.push_back("(" + decompose(block) + ")*" + scale);
        }
      }
      if (pieces.size() < 2) continue;
      std::string text;
      for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        if (!text.empty()) text += "+";
        text += *it;
      }
      keep(std::move(text));
    }
  }

  const BigInt& n_;
  const std::uint64_t depth_;
  DecomposeCache& cache_;
  const std::string decimal_;
  std::string best_;
  std::size_t bits_ = 0;
};

}  // namespace

void keep_shorter_candidate(std::string& best, std::string candidate) {
  if (candidate.size() < best.size()) best = std::move(candidate);
}

std::string decompose_integer_expression(const BigInt& n, std::uint64_t depth, DecomposeCache& cache) {
  return Decomposer(n, depth, cache).run();
}

}  // namespace corvale
