#pragma once
// Conversions between the codecs' IntegerList and plain vectors of big integers, so that tests
// can write expected values as lists and compare whatever form the codec kept them in.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "core/bigint.h"
#include "core/integer_list.h"

namespace corvale::test {

inline IntegerList integer_list(const std::vector<BigInt>& values, Signedness signedness) {
  IntegerList list(signedness);
  for (const BigInt& v : values) list.push_back(v);
  return list;
}

inline IntegerList signed_list(const std::vector<BigInt>& values) { return integer_list(values, Signedness::Signed); }
inline IntegerList unsigned_list(const std::vector<BigInt>& values) { return integer_list(values, Signedness::Unsigned); }

inline std::vector<BigInt> signed_bigints(std::initializer_list<std::int64_t> values) {
  std::vector<BigInt> out;
  for (std::int64_t v : values) out.push_back(BigInt::from_i64(v));
  return out;
}

inline std::vector<BigInt> bigints(const IntegerList& list) {
  std::vector<BigInt> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.push_back(list.value(i));
  return out;
}

}  // namespace corvale::test
