#include "codecs/number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "codecs/bigint.h"
#include "codecs/count_list.h"
#include "codecs/decimal_scale.h"
#include "codecs/error.h"
#include "codecs/exponent_column.h"
#include "codecs/number_column.h"
#include "codecs/number_list.h"
#include "codecs/separator_sequence.h"
#include "codecs/varint.h"
#include "codecs/written_number.h"
#include "codecs/zlib.h"

namespace corvale {

namespace {

using u128 = unsigned __int128;

// What the encoder keeps of every number until the separators have told it the columns.
struct Numbers {
  std::vector<std::int64_t> values;                     // 0 where the value is in wide
  std::vector<std::pair<std::uint64_t, BigInt>> wide;   // (index, value) of values past 64 bits
  CountList fraction_digits;
  std::uint64_t max_fraction_digits = 0;
  std::string leading_zeros;  // one varint a number
  bool any_leading_zeros = false;
  std::string relative_counts;  // one varint a number
  std::vector<std::uint64_t> minus_zeros;
  std::vector<ExponentForm> forms;
  std::vector<std::string_view> exponent_digits;
  bool any_exponent = false;

  std::uint64_t size() const { return values.size(); }

  void add(std::string_view token) {
    const WrittenNumberParts parts = split_written_number_parts(token);
    const std::uint64_t index = values.size();
    write_varint_u64(parts.leading_zeros, leading_zeros);
    any_leading_zeros |= parts.leading_zeros != 0;
    const std::uint64_t f = parts.fraction_digits.size();
    fraction_digits.push_back(f);
    max_fraction_digits = std::max(max_fraction_digits, f);
    write_varint_u64(relative_dropped_digits(parts), relative_counts);

    const std::optional<std::uint64_t> small = mantissa_value_u64(parts);
    if (small && *small <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      const auto v = static_cast<std::int64_t>(*small);
      values.push_back(parts.negative ? -v : v);
      if (parts.negative && v == 0) minus_zeros.push_back(index);
    } else {
      BigInt v = split_written_number(token).value;
      if (parts.negative && v.is_zero()) minus_zeros.push_back(index);
      values.push_back(0);
      wide.emplace_back(index, std::move(v));
    }

    forms.push_back(parts.exponent_form);
    if (parts.exponent_form != ExponentForm::kNone) {
      exponent_digits.push_back(parts.exponent_digits);
      any_exponent = true;
    }
  }
};

void write_run(std::string_view run, std::string& out) {
  write_varint_u64(run.size(), out);
  out += run;
}

// Column j of C (numbers j, j + C, ...), each scaled to s fraction digits: in 64 bits when every
// scaled value fits, else as big integers.
ColumnValues column_values(const Numbers& numbers, std::uint64_t j, std::uint64_t C, std::uint64_t s) {
  const std::uint64_t n = numbers.size();
  ColumnValues column;
  bool fits = std::none_of(numbers.wide.begin(), numbers.wide.end(), [&](const auto& w) { return w.first % C == j; });
  if (fits) {
    column.narrow.reserve((n - j - 1) / C + 1);
    for (std::uint64_t i = j; i < n; i += C) {
      const std::uint64_t d = s - numbers.fraction_digits[i];
      const std::int64_t v = numbers.values[i];
      const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
      if (d > 18 || magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / kPowersOfTen[d]) {
        fits = false;
        break;
      }
      column.narrow.push_back(v * static_cast<std::int64_t>(kPowersOfTen[d]));
    }
    if (fits) return column;
  }

  column.wide = true;
  column.narrow = {};
  std::unordered_map<std::uint64_t, BigInt> powers;  // 10^d, made once for each d that occurs
  auto wide = numbers.wide.begin();
  for (std::uint64_t i = j; i < n; i += C) {
    while (wide != numbers.wide.end() && wide->first < i) ++wide;
    BigInt v = wide != numbers.wide.end() && wide->first == i ? wide->second : BigInt::from_i64(numbers.values[i]);
    const std::uint64_t d = s - numbers.fraction_digits[i];
    if (d > 0 && !v.is_zero()) {
      auto [power, made] = powers.try_emplace(d);
      if (made) power->second = BigInt::pow(10, d);
      v *= power->second;
    }
    column.big.push_back(std::move(v));
  }
  return column;
}

}  // namespace

std::optional<std::string> encode_number_text(std::string_view text) {
  Numbers numbers;
  SeparatorSequenceWriter separators;
  std::string_view prefix;
  std::string_view suffix;
  if (!walk_number_text(
          text, prefix, suffix, [&](std::string_view token) { numbers.add(token); },
          [&](std::string_view run) { separators.add(run); })) {
    return std::nullopt;
  }
  const std::uint64_t n = numbers.size();

  std::string body;
  write_run(prefix, body);
  write_run(suffix, body);
  const std::uint64_t C = std::max<std::uint64_t>(separators.write(body), 1);

  std::uint8_t flags = 0;
  const bool decimal = numbers.max_fraction_digits > 0;
  std::vector<std::uint64_t> scales(C, 0);
  for (std::uint64_t j = 0; j < C; ++j) {
    if (decimal) {
      for (std::uint64_t i = j; i < n; i += C) scales[j] = std::max(scales[j], numbers.fraction_digits[i]);
      write_varint_u64(scales[j], body);
    }
    body += encode_number_column(column_values(numbers, j, C, scales[j]));
  }

  if (numbers.any_leading_zeros) {
    flags |= kTextLeadingZeros;
    body += numbers.leading_zeros;
  }
  numbers.leading_zeros = {};

  if (!numbers.minus_zeros.empty()) {
    flags |= kTextMinusZeros;
    write_varint_u64(numbers.minus_zeros.size(), body);
    std::uint64_t previous = 0;
    for (const std::uint64_t index : numbers.minus_zeros) {
      write_varint_u64(index - previous, body);
      previous = index;
    }
  }

  if (decimal) {
    flags |= kTextDecimal;
    std::string absolute;
    absolute.reserve(n);
    for (std::uint64_t i = 0, j = 0; i < n; ++i, j = j + 1 == C ? 0 : j + 1) {
      write_varint_u64(scales[j] - numbers.fraction_digits[i], absolute);
    }
    if (prefer_relative_counts(absolute, numbers.relative_counts)) {
      flags |= kTextRelativeCounts;
      body += numbers.relative_counts;
    } else {
      body += absolute;
    }
  }

  if (numbers.any_exponent) {
    flags |= kTextExponents;
    encode_digit_string_column(numbers.forms, numbers.exponent_digits, body);
  }

  std::string payload(1, static_cast<char>(flags));
  write_varint_u64(n, payload);
  payload += deflate_compress_best(body);
  return payload;
}

namespace {

std::uint64_t room_left(const std::string& out, std::uint64_t limit) {
  return out.size() >= limit ? 0 : limit - out.size();
}

void append_limited(std::string& out, std::string_view piece, std::uint64_t limit) {
  if (piece.size() > room_left(out, limit)) throw output_limit_error();
  out += piece;
}

// One column as read back, with what rendering needs of it.
struct DecodedColumn {
  std::uint64_t scale = 0;
  ColumnValues values;
  // Wide columns with a scale: every magnitude's decimal digits, made once and cut by the scale.
  std::vector<std::string> digits;
};

// The numbers of the body, addressed by number index through their columns.
struct DecodedNumbers {
  std::vector<DecodedColumn> columns;
  std::uint64_t C = 1;

  DecodedColumn& column(std::uint64_t i) { return columns[i % C]; }
  bool is_zero(std::uint64_t i) const { return columns[i % C].values.is_zero(i / C); }
};

std::uint64_t inflate_cap(std::uint64_t limit) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  return limit > (kMax - 1024) / 2 ? kMax : 2 * limit + 1024;
}

std::vector<std::uint64_t> read_minus_zeros(ByteCursor& cursor, const DecodedNumbers& numbers, std::uint64_t n) {
  std::vector<std::uint64_t> positions;
  const std::uint64_t count = cursor_read_varint_u64(cursor);
  std::uint64_t position = 0;
  for (std::uint64_t k = 0; k < count; ++k) {
    const std::uint64_t step = cursor_read_varint_u64(cursor);
    if (k > 0 && step == 0) throw Error(kRepeatedMinusZeroIndex);
    position = step > std::numeric_limits<std::uint64_t>::max() - position ? std::numeric_limits<std::uint64_t>::max()
                                                                            : position + step;
    if (position >= n || !numbers.is_zero(position)) throw Error(kInvalidMinusZeroIndex);
    positions.push_back(position);
  }
  return positions;
}

// Takes every number's dropped digits off its stored value; returns the fraction digits.
CountList undo_scales(ByteCursor& cursor, DecodedNumbers& numbers, std::uint64_t n, bool relative) {
  if (std::all_of(numbers.columns.begin(), numbers.columns.end(), [](const DecodedColumn& c) { return c.scale == 0; })) {
    throw Error(kDecimalFlagWithoutFractions);
  }
  for (DecodedColumn& column : numbers.columns) {
    if (!column.values.wide) continue;
    column.digits.reserve(column.values.big.size());
    for (const BigInt& v : column.values.big) v.append_decimal_magnitude(column.digits.emplace_back());
  }
  CountList fraction_digits;
  for (std::uint64_t i = 0; i < n; ++i) {
    DecodedColumn& column = numbers.column(i);
    const std::uint64_t row = i / numbers.C;
    const std::uint64_t x = cursor_read_varint_u64(cursor);
    if (column.values.wide) {
      fraction_digits.push_back(undo_decimal_scale(column.digits[row], column.scale, x, relative));
      continue;
    }
    std::int64_t& v = column.values.narrow[row];
    std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    fraction_digits.push_back(undo_decimal_scale(magnitude, column.scale, x, relative));
    v = v < 0 ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  }
  return fraction_digits;
}

}  // namespace

std::string decode_number_text_payload(std::string_view payload, std::uint64_t limit) {
  if (payload.size() < 2) throw Error(kTruncatedNumberText);
  const auto flags = static_cast<std::uint8_t>(payload[0]);
  if ((flags & kTextReservedFlags) != 0 || (flags & (kTextDecimal | kTextRelativeCounts)) == kTextRelativeCounts) {
    throw Error(kInvalidNumberTextFlags);
  }
  ByteCursor header{payload, 1};
  const std::uint64_t n = cursor_read_varint_u64(header);
  // Every number needs a digit and every pair a separator byte between them.
  if (n == 0 || static_cast<u128>(n) * 2 - 1 > limit) throw Error(kInvalidNumberTextSize);

  const std::string body = inflate_limited(payload.substr(header.pos), inflate_cap(limit), false);
  ByteCursor cursor{body};
  const std::string_view prefix = read_text_separator(cursor);
  const std::string_view suffix = read_text_separator(cursor);
  const SeparatorSequence separators = read_separator_sequence(cursor, n);

  DecodedNumbers numbers;
  numbers.C = separators.columns();
  numbers.columns.resize(numbers.C);
  for (std::uint64_t j = 0; j < numbers.C; ++j) {
    DecodedColumn& column = numbers.columns[j];
    if (flags & kTextDecimal) {
      column.scale = cursor_read_varint_u64(cursor);
      if (column.scale > limit) throw output_limit_error();
    }
    column.values = decode_number_column(cursor, (n - j - 1) / numbers.C + 1);
  }

  CountList leading_zeros;
  if (flags & kTextLeadingZeros) leading_zeros = read_count_list(cursor, n);
  std::vector<std::uint64_t> minus_zeros;
  if (flags & kTextMinusZeros) minus_zeros = read_minus_zeros(cursor, numbers, n);
  CountList fraction_digits;
  if (flags & kTextDecimal) fraction_digits = undo_scales(cursor, numbers, n, (flags & kTextRelativeCounts) != 0);
  ExponentColumn exponents = (flags & kTextExponents) ? decode_exponents(cursor, n) : no_exponents();
  if (!cursor.at_end()) throw Error(kTrailingNumberTextData);

  // Every piece is measured against the room left before it is written, so the output never
  // grows past the limit whatever the counts say.
  std::string out;
  append_limited(out, prefix, limit);
  std::size_t next_minus_zero = 0;
  std::uint64_t period_index = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    if (i > 0) {
      if (separators.period != 0) {
        append_limited(out, separators.strings[period_index], limit);
        if (++period_index == separators.period) period_index = 0;
      } else {
        append_limited(out, separators.indexed(i - 1), limit);
      }
    }
    const DecodedColumn& column = numbers.column(i);
    const std::uint64_t row = i / numbers.C;
    const bool minus_zero = next_minus_zero < minus_zeros.size() && minus_zeros[next_minus_zero] == i;
    next_minus_zero += minus_zero;
    if (minus_zero || column.values.is_negative(row)) out.push_back('-');

    const std::uint64_t zeros = leading_zeros.empty() ? 0 : leading_zeros[i];
    if (zeros > room_left(out, limit)) throw output_limit_error();
    out.append(static_cast<std::size_t>(zeros), '0');

    const std::uint64_t f = fraction_digits.empty() ? 0 : fraction_digits[i];
    char small[20];
    std::string big;
    std::string_view digits;
    if (!column.values.wide) {
      const std::int64_t v = column.values.narrow[row];
      const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
      digits = std::string_view(small, static_cast<std::size_t>(std::to_chars(small, small + 20, magnitude).ptr - small));
    } else if (!column.digits.empty()) {
      digits = column.digits[row];
    } else {
      check_decimal_output_size(column.values.big[row], room_left(out, limit));
      column.values.big[row].append_decimal_magnitude(big);
      digits = big;
    }
    if (fixed_point_length(digits.size(), f) > room_left(out, limit)) throw output_limit_error();
    append_fixed_point(out, digits, f);
    write_exponent(exponents, i, out, limit);
  }
  append_limited(out, suffix, limit);

  if (!is_number_text(out)) throw Error(kNotANumberList);
  return out;
}

}  // namespace corvale
