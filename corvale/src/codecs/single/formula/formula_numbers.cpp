#include "codecs/single/formula/formula_numbers.h"

#include <bit>
#include <cmath>

namespace corvale {
namespace {

// Below this many factors a product is built by multiplying one small factor at a time; above
// it the factors are split in halves so that big multiplications get operands of similar size.
constexpr std::uint64_t kShortRun = 16;

}  // namespace

BigInt range_product(std::uint64_t lo, std::uint64_t hi) {
  if (hi < lo) return BigInt(1);
  if (hi - lo >= kShortRun) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    return range_product(lo, mid) * range_product(mid + 1, hi);
  }
  // Counted, not compared with hi, so that a range ending at 2^64 - 1 still ends.
  BigInt product(1);
  for (std::uint64_t i = 0; i <= hi - lo; ++i) product *= lo + i;
  return product;
}

std::vector<std::uint64_t> primes_up_to(std::uint64_t n) {
  std::vector<std::uint64_t> primes;
  if (n < 2) return primes;
  std::vector<unsigned char> prime(n + 1, 1);
  prime[0] = prime[1] = 0;
  // n + 1 flags fit in memory, so n is far below 2^64 and none of these sums wraps.
  for (std::uint64_t i = 2; i <= n / i; ++i) {
    if (!prime[i]) continue;
    for (std::uint64_t j = i * i; j <= n; j += i) prime[j] = 0;
  }
  for (std::uint64_t i = 2; i <= n; ++i) {
    if (prime[i]) primes.push_back(i);
  }
  return primes;
}

BigInt product_of_list(std::span<const std::uint64_t> values) {
  if (values.size() > kShortRun) {
    const std::size_t half = values.size() / 2;
    return product_of_list(values.first(half)) * product_of_list(values.subspan(half));
  }
  BigInt product(1);
  for (std::uint64_t v : values) product *= v;
  return product;
}

BigInt primorial(std::uint64_t n) { return product_of_list(primes_up_to(n)); }

std::pair<BigInt, BigInt> fibonacci_pair(std::uint64_t n) {
  // Fast doubling: from a = F(k), b = F(k + 1), F(2k) = a (2b - a) and F(2k + 1) = a^2 + b^2.
  BigInt a(0), b(1);
  for (int bit = std::bit_width(n) - 1; bit >= 0; --bit) {
    BigInt twice_b_minus_a = b << 1;
    twice_b_minus_a -= a;
    BigInt c = a * twice_b_minus_a;
    BigInt d = a.square();
    d += b.square();
    if ((n >> bit) & 1) {
      c += d;
      a = std::move(d);
      b = std::move(c);
    } else {
      a = std::move(c);
      b = std::move(d);
    }
  }
  return {std::move(a), std::move(b)};
}

// The last doubling step builds only the value asked for: it is the costliest step, and the
// other value of the pair would double its time and memory.
BigInt fibonacci_number(std::uint64_t n) {
  const auto [a, b] = fibonacci_pair(n >> 1);  // F(k), F(k + 1) for n = 2k or 2k + 1
  if (n & 1) return a.square() + b.square();     // F(2k + 1) = F(k)^2 + F(k + 1)^2
  BigInt twice_b_minus_a = b << 1;
  twice_b_minus_a -= a;
  return a * twice_b_minus_a;                    // F(2k) = F(k) (2 F(k + 1) - F(k))
}

BigInt lucas_number(std::uint64_t n) {
  const auto [a, b] = fibonacci_pair(n >> 1);
  const std::uint64_t k = n >> 1;
  BigInt lucas_k = b << 1;  // L(k) = 2 F(k + 1) - F(k)
  lucas_k -= a;
  BigInt result;
  if (n & 1) {
    BigInt lucas_k1 = a << 1;  // L(k + 1) = 2 F(k) + F(k + 1)
    lucas_k1 += b;
    result = lucas_k * lucas_k1;  // L(2k + 1) = L(k) L(k + 1) - (-1)^k
    if (k & 1) {
      result += 1;
    } else {
      result -= 1;
    }
  } else {
    result = lucas_k.square();  // L(2k) = L(k)^2 - 2 (-1)^k
    if (k & 1) {
      result += 2;
    } else {
      result -= 2;
    }
  }
  return result;
}

double log2_factorial(std::uint64_t n) {
  if (n >= 32) {
    const double x = static_cast<double>(n);
    return (std::log(x) * (x + 0.5) - x + 0.9189385332046727 + 1.0 / (12.0 * x) - 1.0 / (360.0 * x * x * x) +
            1.0 / (1260.0 * x * x * x * x * x)) /
           0.6931471805599453;
  }
  double sum = 0.0;
  for (std::uint64_t k = 2; k <= n; ++k) sum += std::log2(static_cast<double>(k));
  return sum;
}

}  // namespace corvale
