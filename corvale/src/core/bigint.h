#pragma once
// Arbitrary-precision integers for every codec. Codecs use only this interface, never GMP
// itself, so that the representation can change without touching a codec.

#include <gmp.h>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

class BigInt {
 public:
  BigInt() { mpz_init(v_); }
  BigInt(std::uint64_t x);  // NOLINT(google-explicit-constructor): numbers convert freely
  static BigInt from_i64(std::int64_t x);
  // In place, reusing this value's storage.
  void assign_u64(std::uint64_t x);
  void assign_i64(std::int64_t x);
  BigInt(const BigInt& o) { mpz_init_set(v_, o.v_); }
  BigInt(BigInt&& o) noexcept { mpz_init(v_); mpz_swap(v_, o.v_); }
  BigInt& operator=(const BigInt& o) {
    if (this != &o) mpz_set(v_, o.v_);
    return *this;
  }
  BigInt& operator=(BigInt&& o) noexcept {
    mpz_swap(v_, o.v_);
    return *this;
  }
  ~BigInt() { mpz_clear(v_); }
  void swap(BigInt& o) noexcept { mpz_swap(v_, o.v_); }

  // Conversions. Digit strings must hold only the digits of the base (no sign, no blanks).
  static BigInt from_decimal(std::string_view digits);
  std::string to_decimal() const;  // with a leading '-' when negative
  // Appends the decimal digits of |*this| to out (no sign).
  void append_decimal_magnitude(std::string& out) const;
  // The same digits, worked out in the value's own storage, which a copy would double for a
  // number of millions of digits; leaves the value zero.
  void append_decimal_magnitude_and_clear(std::string& out);
  // Writes the decimal digits of |*this| at dst, which has room for
  // decimal_digits_upper_bound() + 1 bytes; returns how many digits were written.
  std::size_t write_decimal_magnitude(char* dst) const;
  static BigInt from_digits(std::string_view digits, int base);  // base 2..62, GMP's alphabet
  std::string to_digits(int base) const;                          // magnitude, base 2..62

  // Base-128 digits, least significant first, one digit per byte; bit 7 of each input byte is
  // ignored. The output has no trailing zero digit (zero gives one 0 digit).
  static BigInt from_base128_le(const unsigned char* digits, std::size_t n);
  std::string to_base128_le() const;
  // Magnitude as bytes; zero gives an empty string.
  static BigInt from_bytes_be(const unsigned char* bytes, std::size_t n);
  static BigInt from_bytes_le(const unsigned char* bytes, std::size_t n);
  std::string to_bytes_be() const;
  std::string to_bytes_le() const;

  // Queries.
  int sign() const { return mpz_sgn(v_); }
  bool is_zero() const { return mpz_sgn(v_) == 0; }
  bool is_odd() const { return mpz_odd_p(v_) != 0; }
  std::size_t bit_length() const;  // of the magnitude; 0 for zero
  std::size_t decimal_digits_upper_bound() const { return mpz_sizeinbase(v_, 10); }
  // The exact number of decimal digits of the magnitude (1 for zero). Costs a power of ten as
  // large as the value: meant for values of a few thousand bits.
  std::uint64_t decimal_digits() const;
  bool fits_u64() const;
  bool fits_i64() const;
  std::uint64_t to_u64() const;  // requires fits_u64()
  std::int64_t to_i64() const;   // requires fits_i64()
  std::uint64_t low_u64() const; // the low 64 bits of the magnitude
  std::uint64_t bits_from(std::size_t start) const;  // the 64 bits of the magnitude from bit start up
  double to_double() const;      // truncated toward zero, as GMP does
  bool test_bit(std::size_t i) const { return mpz_tstbit(v_, i) != 0; }  // of the magnitude, for non-negative values
  std::size_t trailing_zero_bits() const;  // of a non-zero value

  // Arithmetic.
  BigInt& operator+=(const BigInt& o) { mpz_add(v_, v_, o.v_); return *this; }
  BigInt& operator-=(const BigInt& o) { mpz_sub(v_, v_, o.v_); return *this; }
  BigInt& operator*=(const BigInt& o) { mpz_mul(v_, v_, o.v_); return *this; }
  BigInt& operator+=(std::uint64_t x);
  BigInt& operator-=(std::uint64_t x);
  BigInt& operator*=(std::uint64_t x);
  BigInt& operator<<=(std::size_t bits) { mpz_mul_2exp(v_, v_, bits); return *this; }
  BigInt& operator>>=(std::size_t bits) { mpz_fdiv_q_2exp(v_, v_, bits); return *this; }  // floor
  BigInt operator-() const;
  BigInt& negate() { mpz_neg(v_, v_); return *this; }
  BigInt abs() const;
  BigInt square() const;  // faster than a product of two copies, which GMP cannot tell apart
  friend BigInt operator+(BigInt a, const BigInt& b) { return a += b; }
  friend BigInt operator-(BigInt a, const BigInt& b) { return a -= b; }
  friend BigInt operator*(BigInt a, const BigInt& b) { return a *= b; }
  friend BigInt operator<<(BigInt a, std::size_t bits) { return a <<= bits; }
  friend BigInt operator>>(BigInt a, std::size_t bits) { return a >>= bits; }
  // Division truncating toward zero (quotient and remainder), and flooring.
  static void div_rem(const BigInt& n, const BigInt& d, BigInt& q, BigInt& r);
  static void div_floor(const BigInt& n, const BigInt& d, BigInt& q, BigInt& r);
  // The magnitude's remainder by d, and exact division by a d that divides the value (d > 0).
  std::uint64_t rem_u64(std::uint64_t d) const;
  BigInt& divide_exact(std::uint64_t d);
  // exp must be below 2^32 (GMP counts it in an unsigned long, 32 bits on Windows).
  static BigInt pow(const BigInt& base, std::uint64_t exp);
  static BigInt pow(std::uint64_t base, std::uint64_t exp);
  // Floor of the n-th root of a non-negative value, and whether it was exact.
  static BigInt root(const BigInt& x, std::uint64_t n, bool* exact = nullptr);

  // Signed values mapped to unsigned: x >= 0 -> 2x, x < 0 -> 2|x| - 1, and back.
  static BigInt zigzag(const BigInt& x);
  static BigInt unzigzag(const BigInt& z);
  void zigzag_in_place();
  void unzigzag_in_place();

  friend bool operator==(const BigInt& a, const BigInt& b) { return mpz_cmp(a.v_, b.v_) == 0; }
  friend std::strong_ordering operator<=>(const BigInt& a, const BigInt& b) {
    int c = mpz_cmp(a.v_, b.v_);
    return c < 0 ? std::strong_ordering::less : c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
  }
  friend bool operator==(const BigInt& a, std::uint64_t b) { return a.fits_u64() && a.to_u64() == b; }

 private:
  mpz_t v_;
};

}  // namespace corvale
