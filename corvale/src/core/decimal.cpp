#include "core/decimal.h"

#include <cstdint>

#include "core/error.h"

namespace corvale {

BigInt parse_decimal_digits(std::string_view digits) {
  if (digits.empty()) throw Error(kExpectedDecimalDigits);
  for (char c : digits) {
    if (c < '0' || c > '9') throw Error(kExpectedDecimalDigits);
  }
  // Up to 19 digits always fit in 64 bits, and most numbers in text are that short.
  if (digits.size() <= 19) {
    std::uint64_t v = 0;
    for (char c : digits) v = v * 10 + static_cast<unsigned>(c - '0');
    return BigInt(v);
  }
  // GMP's own conversion already splits long strings and multiplies through its subquadratic
  // routines; measured against halving the string ourselves with a memo of powers of ten, it is
  // the faster of the two (10^6 digits: 22 ms against 25 ms; 10^7: 0.34 s against 0.44 s).
  return BigInt::from_decimal(digits);
}

}  // namespace corvale
