#include "codecs/compress.h"

#include <initializer_list>
#include <utility>

#include "codecs/container.h"
#include "codecs/decimal.h"
#include "codecs/dispatch.h"
#include "codecs/error.h"
#include "codecs/number_list.h"
#include "codecs/number_text.h"

namespace corvale {
namespace {

// NOT-YET: numeric text (type 3, max_input 4096), binary numeric (5; always gives a payload, so
// a single number is never refused once it lands), power form (8) and formula (13), in this
// order. Until then a single number is refused.
constexpr std::initializer_list<SingleNumberEncoder> kSingleNumberEncoders = {};

constexpr std::initializer_list<StructuredEncoder> kStructuredEncoders = {
    {ArchiveType::NumberList,
     [](std::string_view input) -> std::optional<std::string> {
       const std::optional<IntegerLines> lines = split_integer_lines(input);
       if (!lines) return std::nullopt;
       return encode_number_list_payload(*lines);
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
    // NOT-YET: table (11), log (14), in this order.
};

// A single number is always archived by one of its own encodings, even when that is longer
// than the input: there is no stored fallback on this road.
std::string compress_single_number(std::string_view input) {
  const SingleNumber number(input);
  std::optional<ArchivePayload> best;
  for (const SingleNumberEncoder& encoder : kSingleNumberEncoders) {
    if (input.size() > encoder.max_input) continue;
    if (std::optional<std::string> payload = encoder.encode(number)) {
      keep_shorter_payload(best, {encoder.type, std::move(*payload)});
    }
  }
  if (!best) throw Error(kNotNumericMessage);
  return wrap_archive_with_checksum(best->type, std::move(best->bytes), input);
}

}  // namespace

SingleNumber::SingleNumber(std::string_view input) : input_(input), text_(input) {
  if (text_.ends_with("\r\n")) {
    line_ending_ = "\r\n";
  } else if (text_.ends_with('\n')) {
    line_ending_ = "\n";
  }
  text_.remove_suffix(line_ending_.size());
  digits_ = text_;
  negative_ = digits_.starts_with('-');
  if (negative_) digits_.remove_prefix(1);
  while (leading_zeros_ + 1 < digits_.size() && digits_[leading_zeros_] == '0') ++leading_zeros_;
}

const BigInt& SingleNumber::magnitude() const {
  if (!magnitude_) magnitude_ = parse_decimal_digits(digits_.substr(leading_zeros_));
  return *magnitude_;
}

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
