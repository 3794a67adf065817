#include "codecs/compress.h"

#include <utility>

#include "codecs/binary_numeric.h"
#include "codecs/container.h"
#include "codecs/decimal.h"
#include "codecs/dispatch.h"
#include "codecs/error.h"
#include "codecs/formula.h"
#include "codecs/formula_search.h"
#include "codecs/number_list.h"
#include "codecs/numeric_text.h"
#include "codecs/power_form.h"
#include "codecs/single_number.h"

namespace corvale {
namespace {

// Only inputs of at most this many bytes are offered the numeric-text archive.
constexpr std::size_t kMaxNumericTextInput = 4096;

// A single number is always archived by one of its own encodings, even when that is longer
// than the input: there is no stored fallback on this road.
std::string compress_single_number(std::string_view input) {
  const SingleNumber number = *split_single_number(input);
  const BigInt magnitude = parse_decimal_digits(number.significant);
  std::optional<ArchivePayload> best;
  if (input.size() <= kMaxNumericTextInput) {
    keep_shorter_payload(best, {ArchiveType::NumericText, encode_numeric_text_payload(number, magnitude)});
  }
  keep_shorter_payload(best, {ArchiveType::BinaryNumeric, encode_binary_numeric_payload(number, magnitude)});
  const std::optional<PowerCandidate> power = find_power_form(magnitude);
  if (power) {
    keep_shorter_payload(best, {ArchiveType::PowerForm,
                                encode_power_form_payload(*power, number.flags, number.leading_zeros)});
  }
  // The formula search starts from the power form just found rather than search for it again.
  if (const std::optional<FormulaNode> formula = search_formula(magnitude, 0, power)) {
    keep_shorter_payload(best, {ArchiveType::Formula,
                                encode_formula_payload(*formula, number.flags, number.leading_zeros)});
  }
  return wrap_archive_with_checksum(best->type, std::move(best->bytes), input);
}

// The structured codecs, offered the whole input in a fixed order. The first that accepts it
// ends the search, even when a later codec would have done better; a codec's error ends the
// compression with its own message. Adding a codec means adding its step at its place.
std::optional<ArchivePayload> encode_structured(std::string_view input) {
  if (std::optional<IntegerLines> lines = split_integer_lines(input)) {
    return ArchivePayload{ArchiveType::NumberList, encode_number_list_payload(*lines)};
  }
  // NOT YET: the steps land with their codecs, in this order: number text (10), table (11),
  // log (14). Until then no other structured codec accepts anything.
  return std::nullopt;
}

}  // namespace

void keep_shorter_payload(std::optional<ArchivePayload>& best, ArchivePayload candidate) {
  if (!best || candidate.bytes.size() < best->bytes.size()) best = std::move(candidate);
}

std::string wrap_structured_payload(ArchivePayload payload, std::string_view input) {
  if (payload.bytes.size() >= input.size()) {
    payload.bytes = std::string();
    return wrap_archive_with_checksum(ArchiveType::Stored, std::string(input), input);
  }
  return wrap_archive_with_checksum(payload.type, std::move(payload.bytes), input);
}

std::string compress_best_archive(std::string_view input) {
  if (is_single_number_text(input)) return compress_single_number(input);
  std::optional<ArchivePayload> payload = encode_structured(input);
  if (!payload) throw Error(kNotNumericMessage);
  return wrap_structured_payload(std::move(*payload), input);
}

}  // namespace corvale
