#include "codecs/number_text/number_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "codecs/number_text/separator_sequence.h"
#include "codecs/numbers/number_column.h"
#include "codecs/written/collected_numbers.h"
#include "codecs/written/compact_values.h"
#include "codecs/written/decimal_scale.h"
#include "codecs/written/exponent_column.h"
#include "codecs/written/number_messages.h"
#include "codecs/written/number_pieces.h"
#include "codecs/written/written_number.h"
#include "core/bigint.h"
#include "core/checked_text.h"
#include "core/count_list.h"
#include "core/error.h"
#include "core/magnitude.h"
#include "core/output_budget.h"
#include "core/position_list.h"
#include "core/text_buffer.h"
#include "core/u128.h"
#include "core/varint.h"
#include "core/zlib.h"

namespace corvale {

namespace {

// How many runs of bytes other than separators text has: its number of numbers, when it is a
// number text. Counted first so that what is kept of every number is allocated once; a byte that
// can be neither in a number nor between numbers ends the count (nothing), so that other texts
// cost neither a second pass nor those allocations.
std::optional<std::size_t> count_non_separator_runs(std::string_view text) {
  static constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes{};  // 0: no byte of a number text
    for (unsigned c = 0; c < 256; ++c) {
      if (is_separator_byte(static_cast<unsigned char>(c))) classes[c] = 1;
    }
    for (unsigned char c : {'-', '+', '.', 'e', 'E', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) classes[c] = 2;
    return classes;
  }();
  std::size_t runs = 0;
  bool in_run = false;
  for (const unsigned char c : text) {
    const std::uint8_t k = kClasses[c];
    if (k == 0) return std::nullopt;
    const bool number = k == 2;
    runs += number && !in_run;
    in_run = number;
  }
  return runs;
}

void write_run(std::string_view run, std::string& out) {
  write_varint_u64(run.size(), out);
  out += run;
}

// The numbers of a text and the runs around and between them, as one walk finds them.
struct CollectedText {
  CollectedNumbers numbers;
  SeparatorSequenceWriter separators;
  std::string_view prefix;
  std::string_view suffix;
};

// Nothing when text is not a number text.
std::optional<CollectedText> collect_number_text(std::string_view text) {
  const std::optional<std::size_t> runs = count_non_separator_runs(text);
  if (!runs) return std::nullopt;
  std::optional<CollectedText> collected(std::in_place);
  CollectedNumbers& numbers = collected->numbers;
  SeparatorSequenceWriter& separators = collected->separators;
  numbers.reserve(*runs);
  separators.reserve(*runs);
  WrittenNumberParts parts;
  if (!walk_number_text(
          text, collected->prefix, collected->suffix,
          [&parts](std::string_view t, std::size_t start) { return scan_written_number(t, start, parts); },
          [&](std::string_view token) { numbers.add(token, parts); }, [&](std::string_view run) { separators.add(run); })) {
    return std::nullopt;
  }
  return collected;
}

// The scale of each of the C columns: the most fraction digits of its numbers.
std::vector<std::uint64_t> column_scales(const CollectedNumbers& numbers, std::uint64_t C) {
  std::vector<std::uint64_t> scales(C, 0);
  if (numbers.max_fraction_digits == 0) return scales;
  const std::uint64_t n = numbers.size();
  for (std::uint64_t j = 0; j < C; ++j) {
    for (std::uint64_t i = j; i < n; i += C) scales[j] = std::max(scales[j], numbers.fraction_digits[i]);
  }
  return scales;
}

// Appends each column, after its scale in a decimal text. False when one cannot be written
// within budget and cap, and the text is to be stored.
bool write_number_columns(CollectedNumbers& numbers, const std::vector<std::uint64_t>& scales, MagnitudeBudget& budget,
                          std::uint64_t cap, std::string& body) {
  const std::uint64_t n = numbers.size();
  const std::uint64_t C = scales.size();
  const bool decimal = numbers.max_fraction_digits > 0;
  for (std::uint64_t j = 0; j < C; ++j) {
    if (decimal) write_varint_u64(scales[j], body);
    const std::uint64_t count = (n - j - 1) / C + 1;
    // The decoder charges each scaled value past 64 bits to its budget unless the body holds it
    // as a varint, which the inflate cap bounds alike, so a column past the budget left is not
    // worth building: storing the text is the answer, even in the rare case where its values
    // could have fitted in the body.
    if (numbers.scaled_magnitude_floor(j, C, scales[j]) > budget.remaining()) return false;
    IntegerList values = numbers.scaled_column(j, C, scales[j]);
    // The parsed values are not needed past the last column: their memory goes before it is coded.
    if (j + 1 == C) {
      numbers.release_values();
    }
    const bool may_charge = !stays_in_words(values);
    const std::optional<std::string> column = encode_number_column(std::move(values), room_under_limit(body.size(), cap));
    if (!column) return false;
    if (may_charge && !decodes_within_budget([&] {
          ByteCursor cursor{*column};
          decode_number_column(cursor, count, budget);
        })) {
      return false;
    }
    body += *column;
  }
  return true;
}

// Appends what the n numbers hold beside their values (by then released): leading zeros, the -0
// list and the counts of fraction digits, each part only when the text has it. Returns the flags
// of those written.
std::uint8_t write_number_marks(CollectedNumbers& numbers, std::uint64_t n, const std::vector<std::uint64_t>& scales,
                                std::string& body) {
  std::uint8_t flags = 0;
  if (numbers.any_leading_zeros) {
    flags |= kTextLeadingZeros;
    body += numbers.leading_zeros;
  }
  numbers.leading_zeros = {};

  if (!numbers.minus_zeros.empty()) {
    flags |= kTextMinusZeros;
    write_position_list(numbers.minus_zeros, body);
  }

  if (numbers.max_fraction_digits > 0) {
    flags |= kTextDecimal;
    const std::uint64_t C = scales.size();
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
  return flags;
}

// Appends the exponents of those of the n numbers that have one; false when they cannot be written within
// budget and cap.
bool write_exponents(const CollectedNumbers& numbers, std::uint64_t n, MagnitudeBudget& budget, std::uint64_t cap,
                     std::string& body) {
  const std::size_t start = body.size();
  return encode_digit_string_column(numbers.forms, numbers.exponent_digits, body, room_under_limit(body.size(), cap)) &&
         decodes_within_budget([&] {
           ByteCursor cursor{std::string_view(body).substr(start)};
           decode_exponents(cursor, n, budget);
         });
}

}  // namespace

std::optional<NumberTextPayload> encode_number_text(std::string_view text) {
  std::optional<CollectedText> collected = collect_number_text(text);
  if (!collected) return std::nullopt;
  CollectedNumbers& numbers = collected->numbers;
  const std::uint64_t n = numbers.size();  // the values are released once their columns are written

  std::string body;
  write_run(collected->prefix, body);
  write_run(collected->suffix, body);
  const std::uint64_t C = std::max<std::uint64_t>(collected->separators.write(body), 1);
  collected->separators = SeparatorSequenceWriter();  // the runs are written: their ids need not wait for the columns

  // The payload must restore the text with the text's own length as limit, as verification
  // decodes it: the decoder's magnitude budget for that limit is charged here as the decoder will
  // charge it, column after column, and no candidate may take the body past the inflate cap. A
  // text that cannot fit both is stored.
  const std::optional<NumberTextPayload> stored{NumberTextPayload{true, {}}};
  MagnitudeBudget budget(text.size());
  const std::uint64_t cap = inner_body_limit(text.size());

  const std::vector<std::uint64_t> scales = column_scales(numbers, C);
  if (!write_number_columns(numbers, scales, budget, cap, body)) return stored;
  std::uint8_t flags = write_number_marks(numbers, n, scales, body);
  if (numbers.any_exponent()) {
    flags |= kTextExponents;
    if (!write_exponents(numbers, n, budget, cap, body)) return stored;
  }
  if (body.size() > cap) return stored;

  NumberTextPayload payload;
  payload.bytes.push_back(static_cast<char>(flags));
  write_varint_u64(n, payload.bytes);
  payload.bytes += deflate_compress_best(body);
  return payload;
}

namespace {

// One column as read back: its values and the decimal scale they are written at.
struct ScaledColumn {
  std::uint64_t scale = 0;
  // The digits of big values are made once: the decimal scale is taken off them, not off the
  // value.
  CompactValues values;
};

// The numbers of the body, addressed by number index through their columns.
struct DecodedNumbers {
  std::vector<ScaledColumn> columns;
  std::uint64_t C = 1;

  bool is_zero(std::uint64_t i) const { return columns[i % C].values.is_zero(i / C); }
};

// Everything the body says of the text, read and checked; its views are of the inflated body.
struct DecodedText {
  std::uint64_t n = 0;
  std::string_view prefix;
  std::string_view suffix;
  SeparatorSequence separators;
  DecodedNumbers numbers;
  CountList leading_zeros;
  std::vector<std::uint64_t> minus_zeros;
  CountList fraction_digits;
  ExponentColumn exponents;
};

PositionList read_minus_zeros(ByteCursor& cursor, const DecodedNumbers& numbers, std::uint64_t n) {
  PositionList positions = read_position_list(cursor, n, {kRepeatedMinusZeroIndex, kInvalidMinusZeroIndex});
  for (const std::uint64_t position : positions) {
    if (!numbers.is_zero(position)) throw Error(kInvalidMinusZeroIndex);
  }
  return positions;
}

// Takes every number's dropped digits off its stored value; returns the fraction digits.
CountList undo_scales(ByteCursor& cursor, DecodedNumbers& numbers, std::uint64_t n, bool relative) {
  if (std::all_of(numbers.columns.begin(), numbers.columns.end(), [](const ScaledColumn& c) { return c.scale == 0; })) {
    throw Error(kDecimalFlagWithoutFractions);
  }
  CountList fraction_digits;
  std::uint64_t j = 0;  // the column of number i, and its row
  std::uint64_t row = 0;
  for (std::uint64_t i = 0; i < n; ++i) {
    ScaledColumn& column = numbers.columns[j];
    const std::uint64_t x = cursor_read_short_varint_u64(cursor);
    fraction_digits.push_back(undo_decimal_scale(column.values, row, column.scale, x, relative));
    if (++j == numbers.C) {
      j = 0;
      ++row;
    }
  }
  return fraction_digits;
}

// Everything decoded about the numbers, handed out one number after the other in text order:
// once to measure the text, once to write it.
class NumberWalk {
 public:
  explicit NumberWalk(const DecodedText& text)
      : numbers_(text.numbers),
        leading_zeros_(text.leading_zeros),
        minus_zeros_(text.minus_zeros),
        fraction_digits_(text.fraction_digits),
        exponents_(text.exponents) {}

  // True when the numbers are plain integers of 64 bits: no leading zeros, "-0", fractions or
  // exponents, so that next<true>() may skip every look at them.
  bool plain() const {
    return leading_zeros_.empty() && minus_zeros_.empty() && fraction_digits_.empty() && exponents_.forms.empty() &&
           std::none_of(numbers_.columns.begin(), numbers_.columns.end(),
                        [](const ScaledColumn& c) { return c.values.wide(); });
  }

  // The pieces of number i, for i = 0, 1, ... in turn.
  template <bool kPlain = false>
  [[gnu::always_inline]] NumberPieces next(std::uint64_t i) {
    const ScaledColumn& column = numbers_.columns[column_];
    const std::uint64_t row = row_;
    if (++column_ == numbers_.C) {
      column_ = 0;
      ++row_;
    }
    NumberPieces p;  // the exponent's pieces are set, and read, only with a marker
    if constexpr (kPlain) {
      const std::int64_t v = column.values.word(row);
      const std::uint64_t word = magnitude_of(v);
      p.minus = v < 0;
      p.zeros = 0;
      p.mantissa = {word, decimal_digit_count(word), {}, false};
      p.fraction_digits = 0;
      return p;
    }
    const bool minus_zero = next_minus_zero_ < minus_zeros_.size() && minus_zeros_[next_minus_zero_] == i;
    next_minus_zero_ += minus_zero;
    p.minus = minus_zero || column.values.is_negative(row);
    p.zeros = leading_zeros_.empty() ? 0 : leading_zeros_[i];
    p.mantissa = Magnitude::of(column.values, row);
    p.fraction_digits = fraction_digits_.empty() ? 0 : fraction_digits_[i];
    const ExponentForm form = exponents_.form(i);
    if (form != ExponentForm::kNone) {
      const std::size_t k = next_exponent_++;
      p.marker = exponent_form_text(form);
      p.exponent_zeros = exponents_.leading_zeros[k];
      p.exponent = Magnitude::of(exponents_.values, k);
    }
    return p;
  }

 private:
  const DecodedNumbers& numbers_;
  const CountList& leading_zeros_;
  const std::vector<std::uint64_t>& minus_zeros_;
  const CountList& fraction_digits_;
  const ExponentColumn& exponents_;
  std::uint64_t column_ = 0;  // of the next number
  std::uint64_t row_ = 0;
  std::size_t next_minus_zero_ = 0;
  std::size_t next_exponent_ = 0;
};

// The runs between the numbers, one after the other.
class RunWalk {
 public:
  explicit RunWalk(const SeparatorSequence& separators) : separators_(separators) {
    // Short runs of a small set are copied in blocks of kTextSlack from padded copies.
    if (separators.strings.size() > kMaxPaddedRuns) return;
    padded_.assign(separators.strings.size() * kTextSlack, '\0');
    for (std::size_t k = 0; k < separators.strings.size(); ++k) {
      const std::string_view run = separators.strings[k];
      if (run.size() <= kTextSlack) std::memcpy(padded_.data() + k * kTextSlack, run.data(), run.size());
    }
  }

  // The next run, as its index into the strings.
  std::uint64_t next() {
    std::uint64_t k = next_;
    if (separators_.period == 0) {
      k = separators_.wide ? separators_.wide_indices[next_] : static_cast<unsigned char>(separators_.byte_indices[next_]);
      ++next_;
    } else if (++next_ == separators_.period) {
      next_ = 0;
    }
    return k;
  }
  std::string_view run(std::uint64_t k) const { return separators_.strings[k]; }

  void append(TextBuffer& text, std::uint64_t k) const {
    const std::string_view run = separators_.strings[k];
    if (run.size() > kTextSlack || padded_.empty()) return text.append(run);
    char* p = text.room_within_limit(run.size());
    std::memcpy(p, padded_.data() + k * kTextSlack, kTextSlack);
    text.commit(p + run.size());
  }

 private:
  // Enough for any period, and for most dictionaries, at a few pages.
  static constexpr std::size_t kMaxPaddedRuns = 4096;

  const SeparatorSequence& separators_;
  std::uint64_t next_ = 0;  // the run's index, or its place in the period
  std::string padded_;      // kTextSlack bytes a run, empty when there are too many runs
};

// The size of the text as the first numbers and runs foretell it, with a quarter to spare: a
// first block that the text seldom outgrows (so that it is seldom moved, and blocks of a block
// archive come out the same size and reuse each other's memory), for the cost of walking a few
// thousand numbers twice. The part left unwritten is never touched.
u128 expected_text_size(const DecodedText& decoded, std::uint64_t limit) {
  const std::uint64_t n = decoded.n;
  const std::uint64_t sampled = std::min<std::uint64_t>(n, 4096);
  NumberWalk walk(decoded);
  RunWalk runs(decoded.separators);
  u128 size = 0;
  for (std::uint64_t i = 0; i < sampled; ++i) {
    if (i > 0) size += runs.run(runs.next()).size();
    size += walk.next(i).length();
  }
  if (size > limit) return size;  // the text fails at its first pieces; nor may the product overflow
  const u128 whole = size * n / sampled;
  return decoded.prefix.size() + decoded.suffix.size() + whole + whole / 4;
}

// Writes the n numbers of walk with the runs between them; true when every one of them was
// well formed.
template <bool kPlain>
bool render(TextBuffer& text, NumberWalk& walk, RunWalk& runs, std::uint64_t n) {
  bool well_formed = true;
  for (std::uint64_t i = 0; i < n; ++i) {
    // With a sink, the text goes there once it is a piece's worth.
    if (i % 1024 == 0 && text.streams() && text.size() >= kOutputPiece) text.hand_on(text.size());
    if (i > 0) runs.append(text, runs.next());
    const NumberPieces number = walk.next<kPlain>(i);
    well_formed &= number.well_formed();
    text.commit(number.write(text.room_within_limit(number.length())));
  }
  return well_formed;
}

// The payload's outer bytes, checked before the body is inflated.
struct TextHeader {
  std::uint8_t flags;
  std::uint64_t n;  // numbers
  std::string_view deflated;
};

TextHeader read_text_header(std::string_view payload, std::uint64_t limit) {
  if (payload.size() < 2) throw Error(kTruncatedNumberText);
  TextHeader header;
  header.flags = static_cast<std::uint8_t>(payload[0]);
  if ((header.flags & kTextReservedFlags) != 0 ||
      (header.flags & (kTextDecimal | kTextRelativeCounts)) == kTextRelativeCounts) {
    throw Error(kInvalidNumberTextFlags);
  }
  ByteCursor cursor{payload, 1};
  header.n = cursor_read_varint_u64(cursor);
  // Every number needs a digit and every pair a separator byte between them.
  if (header.n == 0 || static_cast<u128>(header.n) * 2 - 1 > limit) throw Error(kInvalidNumberTextSize);
  header.deflated = payload.substr(cursor.pos);
  return header;
}

// The values of the C columns, each with its decimal scale when the text has fractions.
DecodedNumbers read_number_columns(ByteCursor& cursor, const TextHeader& header, std::uint64_t C,
                                   MagnitudeBudget& budget, std::uint64_t limit) {
  DecodedNumbers numbers;
  numbers.C = C;
  numbers.columns.resize(C);
  IntegerList piece(Signedness::Signed);
  for (std::uint64_t j = 0; j < C; ++j) {
    ScaledColumn& column = numbers.columns[j];
    if (header.flags & kTextDecimal) {
      column.scale = cursor_read_varint_u64(cursor);
      if (column.scale > limit) throw output_limit_error();
    }
    NumberColumnReader reader(cursor, (header.n - j - 1) / C + 1, budget);
    while (reader.next(piece)) column.values.append(piece, &budget, column.scale);
    column.values.make_digits(budget, column.scale);
  }
  return numbers;
}

// The body, read to its end and checked, in the order its parts come.
DecodedText read_text_body(std::string_view body, const TextHeader& header, std::uint64_t limit) {
  const std::uint8_t flags = header.flags;
  const std::uint64_t n = header.n;
  ByteCursor cursor{body};
  DecodedText text;
  text.n = n;
  text.prefix = read_text_separator(cursor);
  text.suffix = read_text_separator(cursor);
  text.separators = read_separator_sequence(cursor, n);
  // Scaled values, their differences and bases can be far longer than what they print as.
  MagnitudeBudget budget(limit);
  text.numbers = read_number_columns(cursor, header, text.separators.columns(), budget, limit);
  if (flags & kTextLeadingZeros) text.leading_zeros = read_count_list(cursor, n);
  if (flags & kTextMinusZeros) text.minus_zeros = read_minus_zeros(cursor, text.numbers, n);
  if (flags & kTextDecimal) {
    text.fraction_digits = undo_scales(cursor, text.numbers, n, (flags & kTextRelativeCounts) != 0);
  }
  if (flags & kTextExponents) text.exponents = decode_exponents(cursor, n, budget);
  if (!cursor.at_end()) throw Error(kTrailingNumberTextData);
  return text;
}

// Writes the text, the numbers with the runs between them; true when every number was well
// formed.
bool write_text(TextBuffer& text, const DecodedText& decoded) {
  text.append(decoded.prefix);
  NumberWalk walk(decoded);
  RunWalk runs(decoded.separators);
  const std::uint64_t n = decoded.n;
  const bool well_formed = walk.plain() ? render<true>(text, walk, runs, n) : render<false>(text, walk, runs, n);
  text.append(decoded.suffix);
  return well_formed;
}

// The text of a payload, whole, or through sink (then the buffer returned is empty).
ByteBuffer decode_number_text(std::string_view payload, std::uint64_t limit, OutputSink* sink) {
  const TextHeader header = read_text_header(payload, limit);
  const ByteBuffer body = inflate_limited(header.deflated, inner_body_limit(limit), false);
  const DecodedText decoded = read_text_body(body.view(), header, limit);

  // Written in one pass into a buffer that grows as it fills, never past the limit: what the
  // counts say is checked as the bytes come. The first block is also kept within a multiple of
  // the body, so that a text whose first numbers are long asks for no more than it may need.
  const u128 first_block = std::min<u128>(expected_text_size(decoded, limit), static_cast<u128>(body.size()) * 16 + 65536);

  // The prefix, the suffix and every run were checked to be separator bytes as they were read,
  // and no run is empty, so a text of well-formed numbers is a number text without a second
  // look; the full check is for any other, and needs the whole text: a streamed one is made
  // again in memory.
  return write_checked_text(
      {limit, first_block, sink}, [&](TextBuffer& text) { return write_text(text, decoded); },
      [](const ByteBuffer& whole) {
        if (!is_number_text(whole)) throw Error(kNotANumberList);
      },
      [] {});
}

}  // namespace

ByteBuffer decode_number_text_payload(std::string_view payload, std::uint64_t limit) {
  return decode_number_text(payload, limit, nullptr);
}

void stream_number_text_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  decode_number_text(payload, limit, &out);
}

}  // namespace corvale
