#include "codecs/written/collected_numbers.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "codecs/written/decimal_scale.h"
#include "core/digits.h"
#include "core/magnitude.h"
#include "core/u128.h"
#include "core/varint.h"

namespace corvale {

void CollectedNumbers::reserve(std::size_t n) {
  values.reserve(n);
  fraction_digits.reserve(n);
  leading_zeros.reserve(n);
  relative_counts.reserve(n);
  forms.reserve(n);
}

void CollectedNumbers::add_wide(std::uint64_t index, std::string_view token) {
  values.push_back(0);
  wide.emplace_back(index, split_written_number(token).value);
}

IntegerList CollectedNumbers::scaled_column(std::uint64_t j, std::uint64_t C, std::uint64_t s) const {
  IntegerList column(Signedness::Signed);
  if (j >= size()) return column;
  column.words().reserve(static_cast<std::size_t>((size() - j - 1) / C + 1));
  std::unordered_map<std::uint64_t, BigInt> powers;  // 10^d, made once for each d that occurs
  auto next_wide = wide.begin();
  for (std::uint64_t i = j; i < size(); i += C) {
    while (next_wide != wide.end() && next_wide->first < i) ++next_wide;
    const bool is_wide = next_wide != wide.end() && next_wide->first == i;
    const std::uint64_t d = s - fraction_digits[i];
    const std::int64_t v = values[i];
    const std::uint64_t magnitude = magnitude_of(v);
    if (!is_wide && d <= 18 && magnitude <= static_cast<std::uint64_t>(INT64_MAX) / kPowersOfTen[d]) {
      column.push_word(static_cast<std::uint64_t>(v) * kPowersOfTen[d]);
      continue;
    }
    BigInt& scaled = column.append_slot();
    scaled = is_wide ? next_wide->second : BigInt::from_i64(v);
    if (d > 0 && !scaled.is_zero()) {
      auto [power, made] = powers.try_emplace(d);
      if (made) power->second = BigInt::pow(10, d);
      scaled *= power->second;
    }
  }
  return column;
}

u128 CollectedNumbers::scaled_magnitude_floor(std::uint64_t j, std::uint64_t C, std::uint64_t s) const {
  u128 bytes = 0;
  // Words of b bits at most, scaled by 10^s at most, stay within 64 bits: nothing to count.
  const std::uint64_t longest_word = word_bits == 0 ? 0 : 64 - __builtin_clzll(word_bits);
  if (wide.empty() && longest_word + static_cast<u128>(s) * 332 / 100 <= 64) return 0;
  auto next_wide = wide.begin();
  for (std::uint64_t i = j; i < size(); i += C) {
    while (next_wide != wide.end() && next_wide->first < i) ++next_wide;
    const bool is_wide = next_wide != wide.end() && next_wide->first == i;
    const std::int64_t v = values[i];
    const u128 bits = is_wide ? next_wide->second.bit_length()
                              : v == 0 ? 0 : 64 - __builtin_clzll(magnitude_of(v));
    if (bits == 0) continue;
    const u128 scaled = bits + static_cast<u128>(s - fraction_digits[i]) * 332 / 100;
    if (scaled > 64) bytes += (scaled + 7) / 8;
  }
  return bytes;
}

void CollectedNumbers::release_values() {
  values = std::vector<std::int64_t>();
  wide = std::vector<std::pair<std::uint64_t, BigInt>>();
}

}  // namespace corvale
