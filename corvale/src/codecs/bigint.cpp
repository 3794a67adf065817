#include "codecs/bigint.h"

#include <cmath>
#include <cstring>

// GMP's "unsigned long" is 32 bits on Windows, so 64-bit values always go through
// mpz_import/mpz_export here.

namespace corvale {

namespace {

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

BigInt BigInt::from_decimal(std::string_view digits) { return from_digits(digits, 10); }

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

BigInt BigInt::pow(const BigInt& base, std::uint64_t exp) {
  BigInt r;
  // Exponents here are bounded by the callers' size checks, far below 2^32.
  mpz_pow_ui(r.v_, base.v_, static_cast<unsigned long>(exp));
  return r;
}

BigInt BigInt::pow(std::uint64_t base, std::uint64_t exp) { return pow(BigInt(base), exp); }

BigInt BigInt::root(const BigInt& x, std::uint64_t n, bool* exact) {
  BigInt r;
  int e = mpz_root(r.v_, x.v_, static_cast<unsigned long>(n));
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
