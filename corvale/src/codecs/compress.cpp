#include "codecs/compress.h"

#include <utility>

#include "codecs/container.h"
#include "codecs/dispatch.h"
#include "codecs/error.h"
#include "codecs/log.h"
#include "codecs/number_list.h"
#include "codecs/number_text.h"
#include "codecs/table.h"

namespace corvale {
namespace {

// A single number is always archived by one of its own encodings, even when that is longer
// than the input: there is no stored fallback on this road.
std::string compress_single_number(std::string_view input) {
  std::optional<ArchivePayload> best;
  // NOT YET: the single-number encoders land with their codecs, each offered through
  // keep_shorter_payload in this order: numeric text (type 3, only for an input of at most
  // 4096 bytes), binary numeric (5, always built, so a single number is never refused once it
  // lands), power form (8), formula (13). Until then a single number is refused here.
  if (!best) throw Error(kNotNumericMessage);
  return wrap_archive_with_checksum(best->type, std::move(best->bytes), input);
}

// The structured codecs, offered the whole input in a fixed order. The first that accepts it
// ends the search, even when a later codec would have done better; a codec's error ends the
// compression with its own message. Adding a codec means adding its step at its place.
std::optional<ArchivePayload> encode_structured(std::string_view input) {
  if (std::optional<IntegerLines> lines = split_integer_lines(input)) {
    return ArchivePayload{ArchiveType::NumberList, encode_number_list_payload(*lines)};
  }
  if (std::optional<NumberTextPayload> payload = encode_number_text(input)) {
    if (payload->store) return ArchivePayload{ArchiveType::Stored, std::string(input)};
    return ArchivePayload{ArchiveType::NumberText, std::move(payload->bytes)};
  }
  if (std::optional<std::string> payload = encode_table_archive(input)) {
    return ArchivePayload{ArchiveType::Table, std::move(*payload)};
  }
  if (std::optional<std::string> payload = compress_log(input)) {
    return ArchivePayload{ArchiveType::Log, std::move(*payload)};
  }
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
