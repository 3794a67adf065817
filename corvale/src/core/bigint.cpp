#include "core/bigint.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

// GMP's "unsigned long" is 32 bits on Windows, so 64-bit values always go through
// mpz_import/mpz_export here.

namespace corvale {

namespace {

// A count GMP takes as unsigned long; a larger one would be cut silently on Windows, so it is an
// internal fault here instead. Callers bound their counts far below this.
unsigned long checked_ulong(std::uint64_t x) {
  if (x > ULONG_MAX) throw std::overflow_error("big-integer count exceeds unsigned long");
  return static_cast<unsigned long>(x);
}

void set_u64(mpz_t v, std::uint64_t x) {
  if (x <= 0xFFFFFFFFu) {
    mpz_set_ui(v, static_cast<unsigned long>(x));
  } else {
    mpz_import(v, 1, -1, sizeof(x), 0, 0, &x);
  }
}

}  // namespace

BigInt::BigInt(std::uint64_t x) {
  mpz_init(v_);
  set_u64(v_, x);
}

BigInt BigInt::from_i64(std::int64_t x) {
  BigInt r;
  r.assign_i64(x);
  return r;
}

void BigInt::assign_u64(std::uint64_t x) { set_u64(v_, x); }

void BigInt::assign_i64(std::int64_t x) {
  if (x >= 0) {
    set_u64(v_, static_cast<std::uint64_t>(x));
  } else {
    set_u64(v_, 0 - static_cast<std::uint64_t>(x));
    mpz_neg(v_, v_);
  }
}

BigInt BigInt::from_decimal(std::string_view digits) {
  BigInt r;
  while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
  if (digits.empty()) return r;
  // GMP reads digit values, not characters. Building them here, once, spares the two copies of
  // the text a terminated string for mpz_set_str and its own digit values would take: a number
  // of millions of digits would be held three times.
  constexpr std::size_t kShort = 64;
  unsigned char local[kShort];
  std::unique_ptr<unsigned char[]> heap;
  unsigned char* values = local;
  if (digits.size() > kShort) {
    heap.reset(new unsigned char[digits.size()]);
    values = heap.get();
  }
  for (std::size_t i = 0; i < digits.size(); ++i) values[i] = static_cast<unsigned char>(digits[i] - '0');
  // log2(10) < 3.322: room for every value of this many digits, and one limb to spare.
  const std::uint64_t bits = static_cast<std::uint64_t>(digits.size()) * 3322 / 1000 + 1;
  const auto limbs = static_cast<mp_size_t>(bits / GMP_NUMB_BITS + 2);
  const mp_size_t used = mpn_set_str(mpz_limbs_write(r.v_, limbs), values, digits.size(), 10);
  mpz_limbs_finish(r.v_, used);
  return r;
}

BigInt BigInt::from_digits(std::string_view digits, int base) {
  BigInt r;
  if (digits.empty()) return r;
  std::string z(digits);  // mpz_set_str needs a terminated string
  mpz_set_str(r.v_, z.c_str(), base);
  return r;
}

std::string BigInt::to_decimal() const {
  std::string s;
  if (sign() < 0) s.push_back('-');
  append_decimal_magnitude(s);
  return s;
}

void BigInt::append_decimal_magnitude(std::string& out) const {
  const std::size_t old = out.size();
  out.resize(old + mpz_sizeinbase(v_, 10) + 1);
  out.resize(old + write_decimal_magnitude(out.data() + old));
}

void BigInt::append_decimal_magnitude_and_clear(std::string& out) {
  const mp_size_t n = static_cast<mp_size_t>(mpz_size(v_));
  if (n == 0) {
    out.push_back('0');
    return;
  }
  const std::size_t old = out.size();
  // GMP writes one digit more than the largest count when it needs the room.
  out.resize(old + mpz_sizeinbase(v_, 10) + 1);
  auto* digits = reinterpret_cast<unsigned char*>(out.data() + old);
  // The conversion consumes its input limbs.
  std::size_t count = mpn_get_str(digits, 10, mpz_limbs_modify(v_, n), n);
  mpz_clear(v_);
  mpz_init(v_);
  // The digits come as values 0-9, possibly after zeros.
  std::size_t first = 0;
  while (first + 1 < count && digits[first] == 0) ++first;
  if (first > 0) {
    std::memmove(digits, digits + first, count - first);
    count -= first;
  }
  for (std::size_t i = 0; i < count; ++i) digits[i] = static_cast<unsigned char>(digits[i] + '0');
  out.resize(old + count);
}

std::size_t BigInt::write_decimal_magnitude(char* dst) const {
  mpz_t a;
  // mpz_get_str writes a sign for negatives; print the magnitude.
  a[0] = *v_;
  a[0]._mp_size = a[0]._mp_size < 0 ? -a[0]._mp_size : a[0]._mp_size;
  mpz_get_str(dst, 10, a);
  return std::strlen(dst);
}

std::string BigInt::to_digits(int base) const {
  std::string s(mpz_sizeinbase(v_, base) + 2, '\0');
  mpz_t a;
  a[0] = *v_;
  a[0]._mp_size = a[0]._mp_size < 0 ? -a[0]._mp_size : a[0]._mp_size;
  mpz_get_str(s.data(), base, a);
  s.resize(std::strlen(s.c_str()));
  return s;
}

BigInt BigInt::from_base128_le(const unsigned char* digits, std::size_t n) {
  BigInt r;
  if (n == 0) return r;
  // Each byte is one 7-bit digit; the top bit of every byte is a nail that GMP skips.
  mpz_import(r.v_, n, -1, 1, 0, 1, digits);
  return r;
}

std::string BigInt::to_base128_le() const {
  if (is_zero()) return std::string(1, '\0');
  std::size_t n = (bit_length() + 6) / 7;
  std::string out(n, '\0');
  std::size_t written = 0;
  mpz_export(out.data(), &written, -1, 1, 0, 1, v_);
  out.resize(written);
  return out;
}

BigInt BigInt::from_bytes_be(const unsigned char* bytes, std::size_t n) {
  BigInt r;
  if (n) mpz_import(r.v_, n, 1, 1, 0, 0, bytes);
  return r;
}

BigInt BigInt::from_bytes_le(const unsigned char* bytes, std::size_t n) {
  BigInt r;
  if (n) mpz_import(r.v_, n, -1, 1, 0, 0, bytes);
  return r;
}

std::string BigInt::to_bytes_be() const {
  if (is_zero()) return {};
  std::string out((bit_length() + 7) / 8, '\0');
  std::size_t written = 0;
  mpz_export(out.data(), &written, 1, 1, 0, 0, v_);
  out.resize(written);
  return out;
}

std::string BigInt::to_bytes_le() const {
  if (is_zero()) return {};
  std::string out((bit_length() + 7) / 8, '\0');
  std::size_t written = 0;
  mpz_export(out.data(), &written, -1, 1, 0, 0, v_);
  out.resize(written);
  return out;
}

std::size_t BigInt::bit_length() const { return is_zero() ? 0 : mpz_sizeinbase(v_, 2); }

bool BigInt::fits_u64() const { return sign() >= 0 && bit_length() <= 64; }

bool BigInt::fits_i64() const {
  if (sign() >= 0) return bit_length() <= 63;
  // -2^63 is the one value of 64 bits that fits.
  return bit_length() <= 63 || (bit_length() == 64 && mpz_scan1(v_, 0) == 63);
}

std::uint64_t BigInt::low_u64() const {
  std::uint64_t x = 0;
  std::size_t limbs = mpz_size(v_);
  constexpr int kLimbBits = GMP_NUMB_BITS;
  for (std::size_t i = 0; i < limbs && i * kLimbBits < 64; ++i) {
    x |= static_cast<std::uint64_t>(mpz_getlimbn(v_, i)) << (i * kLimbBits);
  }
  return x;
}

std::uint64_t BigInt::bits_from(std::size_t start) const {
  constexpr std::size_t kLimbBits = GMP_NUMB_BITS;
  const std::size_t limbs = mpz_size(v_);
  std::uint64_t x = 0;
  for (std::size_t got = 0; got < 64;) {
    const std::size_t bit = start + got;
    const std::size_t limb = bit / kLimbBits;
    if (limb >= limbs) break;
    const std::size_t offset = bit % kLimbBits;
    x |= (static_cast<std::uint64_t>(mpz_getlimbn(v_, limb)) >> offset) << got;
    got += kLimbBits - offset;
  }
  return x;
}

std::uint64_t BigInt::decimal_digits() const {
  const std::size_t estimate = mpz_sizeinbase(v_, 10);  // exact or one too many
  if (estimate <= 1) return 1;
  mpz_t power;
  mpz_init(power);
  mpz_ui_pow_ui(power, 10, checked_ulong(estimate - 1));
  const bool short_by_one = mpz_cmpabs(v_, power) < 0;
  mpz_clear(power);
  return short_by_one ? estimate - 1 : estimate;
}

std::uint64_t BigInt::to_u64() const { return low_u64(); }

std::int64_t BigInt::to_i64() const {
  std::uint64_t m = low_u64();
  return sign() < 0 ? static_cast<std::int64_t>(0 - m) : static_cast<std::int64_t>(m);
}

double BigInt::to_double() const { return mpz_get_d(v_); }

std::size_t BigInt::trailing_zero_bits() const { return mpz_scan1(v_, 0); }

BigInt& BigInt::operator+=(std::uint64_t x) {
  if (x <= 0xFFFFFFFFu) {
    mpz_add_ui(v_, v_, static_cast<unsigned long>(x));
  } else {
    *this += BigInt(x);
  }
  return *this;
}

BigInt& BigInt::operator-=(std::uint64_t x) {
  if (x <= 0xFFFFFFFFu) {
    mpz_sub_ui(v_, v_, static_cast<unsigned long>(x));
  } else {
    *this -= BigInt(x);
  }
  return *this;
}

BigInt& BigInt::operator*=(std::uint64_t x) {
  if (x <= 0xFFFFFFFFu) {
    mpz_mul_ui(v_, v_, static_cast<unsigned long>(x));
  } else {
    *this *= BigInt(x);
  }
  return *this;
}

BigInt BigInt::operator-() const {
  BigInt r(*this);
  mpz_neg(r.v_, r.v_);
  return r;
}

BigInt BigInt::square() const {
  BigInt r;
  mpz_mul(r.v_, v_, v_);
  return r;
}

BigInt BigInt::abs() const {
  BigInt r(*this);
  mpz_abs(r.v_, r.v_);
  return r;
}

void BigInt::div_rem(const BigInt& n, const BigInt& d, BigInt& q, BigInt& r) {
  mpz_tdiv_qr(q.v_, r.v_, n.v_, d.v_);
}

void BigInt::div_floor(const BigInt& n, const BigInt& d, BigInt& q, BigInt& r) {
  mpz_fdiv_qr(q.v_, r.v_, n.v_, d.v_);
}

std::uint64_t BigInt::rem_u64(std::uint64_t d) const {
  if (d <= 0xFFFFFFFFu) return mpz_tdiv_ui(v_, static_cast<unsigned long>(d));  // |remainder|
  BigInt q, r;
  div_rem(abs(), BigInt(d), q, r);
  return r.to_u64();
}

BigInt& BigInt::divide_exact(std::uint64_t d) {
  if (d <= 0xFFFFFFFFu) {
    mpz_divexact_ui(v_, v_, static_cast<unsigned long>(d));
  } else {
    const BigInt divisor(d);
    mpz_divexact(v_, v_, divisor.v_);
  }
  return *this;
}

BigInt BigInt::pow(const BigInt& base, std::uint64_t exp) {
  BigInt r;
  mpz_pow_ui(r.v_, base.v_, checked_ulong(exp));
  return r;
}

BigInt BigInt::pow(std::uint64_t base, std::uint64_t exp) { return pow(BigInt(base), exp); }

BigInt BigInt::root(const BigInt& x, std::uint64_t n, bool* exact) {
  BigInt r;
  int e = mpz_root(r.v_, x.v_, checked_ulong(n));
  if (exact) *exact = e != 0;
  return r;
}

BigInt BigInt::zigzag(const BigInt& x) {
  BigInt r(x);
  r.zigzag_in_place();
  return r;
}

BigInt BigInt::unzigzag(const BigInt& z) {
  BigInt r(z);
  r.unzigzag_in_place();
  return r;
}

void BigInt::zigzag_in_place() {
  if (sign() >= 0) {
    mpz_mul_2exp(v_, v_, 1);
  } else {
    mpz_neg(v_, v_);
    mpz_mul_2exp(v_, v_, 1);
    mpz_sub_ui(v_, v_, 1);
  }
}

void BigInt::unzigzag_in_place() {
  if (is_odd()) {
    mpz_add_ui(v_, v_, 1);
    mpz_fdiv_q_2exp(v_, v_, 1);
    mpz_neg(v_, v_);
  } else {
    mpz_fdiv_q_2exp(v_, v_, 1);
  }
}

}  // namespace corvale
