#include "archive/compress.h"

#include <initializer_list>
#include <utility>

#include "archive/container.h"
#include "archive/dispatch.h"
#include "codecs/log/log.h"
#include "codecs/number_list/number_list.h"
#include "codecs/number_text/number_text.h"
#include "codecs/single/binary_numeric.h"
#include "codecs/single/formula/formula.h"
#include "codecs/single/formula/formula_search.h"
#include "codecs/single/numeric_text.h"
#include "codecs/single/power_form.h"
#include "codecs/single/single_number.h"
#include "codecs/table/table.h"
#include "core/decimal.h"
#include "core/error.h"

namespace corvale {
namespace {

// Every single number gets a binary numeric payload, so a single number is never refused.
constexpr std::initializer_list<SingleNumberEncoder> kSingleNumberEncoders = {
    {ArchiveType::NumericText,
     [](const SingleNumberInput& in) -> std::optional<std::string> {
       return encode_numeric_text_payload(in.number, in.magnitude);
     },
     4096},
    {ArchiveType::BinaryNumeric,
     [](const SingleNumberInput& in) -> std::optional<std::string> {
       return encode_binary_numeric_payload(in.number, in.magnitude);
     }},
    {ArchiveType::PowerForm,
     [](const SingleNumberInput& in) -> std::optional<std::string> {
       if (!in.power) return std::nullopt;
       return encode_power_form_payload(*in.power, in.number.flags, in.number.leading_zeros);
     }},
    {ArchiveType::Formula,
     [](const SingleNumberInput& in) -> std::optional<std::string> {
       const std::optional<FormulaNode> formula = search_formula(in.magnitude, 0, in.power);
       if (!formula) return std::nullopt;
       return encode_formula_payload(*formula, in.number.flags, in.number.leading_zeros);
     }},
};

constexpr std::initializer_list<StructuredEncoder> kStructuredEncoders = {
    {ArchiveType::NumberList,
     [](std::string_view input) -> std::optional<std::string> {
       std::optional<IntegerLines> lines = split_integer_lines(input);
       if (!lines) return std::nullopt;
       return encode_number_list_payload(std::move(*lines));
     }},
    {ArchiveType::NumberText,
     [](std::string_view input) -> std::optional<std::string> {
       std::optional<NumberTextPayload> payload = encode_number_text(input);
       if (!payload) return std::nullopt;
       // A text its own decoder could not restore under its length is kept as it is: a payload
       // no shorter than the input is stored.
       if (payload->store) return std::string(input);
       return std::move(payload->bytes);
     }},
    {ArchiveType::Table, encode_table_archive},
    {ArchiveType::Log, compress_log},
};

// A single number is always archived by one of its own encodings, even when that is longer
// than the input: there is no stored fallback on this road.
std::string compress_single_number(std::string_view input) {
  SingleNumberInput in{*split_single_number(input), {}, std::nullopt};
  in.magnitude = parse_decimal_digits(in.number.significant);
  in.power = find_power_form(in.magnitude);
  std::optional<ArchivePayload> best;
  for (const SingleNumberEncoder& encoder : kSingleNumberEncoders) {
    if (input.size() > encoder.max_input) continue;
    if (std::optional<std::string> payload = encoder.encode(in)) {
      keep_shorter_payload(best, {encoder.type, std::move(*payload)});
    }
  }
  return wrap_archive_with_checksum(best->type, std::move(best->bytes), input);
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
  // The first codec that accepts the input ends the search, even when a later one would have
  // done better; a codec's error ends the compression with its own message.
  for (const StructuredEncoder& encoder : kStructuredEncoders) {
    if (std::optional<std::string> payload = encoder.encode(input)) {
      return wrap_structured_payload({encoder.type, std::move(*payload)}, input);
    }
  }
  throw Error(kNotNumericMessage);
}

}  // namespace corvale
