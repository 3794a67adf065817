#include "archive/dispatch.h"

#include <string>

#include "archive/archive_types.h"
#include "codecs/single/single_number.h"
#include "core/error.h"
#include "core/output_budget.h"

namespace corvale {

std::string decode_stored_payload(std::string_view payload, std::uint64_t limit) {
  std::string out;
  append_within_limit(out, payload, limit);
  return out;
}

void stream_stored_payload(std::string_view payload, std::uint64_t limit, OutputSink& out) {
  check_output_room(0, payload.size(), limit);
  out.write(payload);
}

namespace {

const ArchiveTypeRow& archive_type_row(std::uint8_t type) {
  const ArchiveTypeRow* row = find_archive_type(type);
  if (row == nullptr) throw Error("Unknown archive type: " + std::to_string(static_cast<unsigned>(type)));
  return *row;
}

}  // namespace

ByteBuffer decode_archive_payload(std::uint8_t type, std::string_view payload, std::uint64_t limit) {
  const ArchiveTypeRow& row = archive_type_row(type);
  ByteBuffer out = row.decode(payload, limit);
  // The single-number decoders rebuild text from a number and its flags; a crafted payload
  // could still render something the compressor would never have taken as one number.
  if (row.single_number && !is_single_number_text(out)) throw Error(kNotANumberMessage);
  return out;
}

void decode_archive_payload_to(std::uint8_t type, std::string_view payload, std::uint64_t limit, OutputSink& out) {
  const ArchiveTypeRow& row = archive_type_row(type);
  if (row.stream != nullptr) {
    row.stream(payload, limit, out);
    return;
  }
  out.write(decode_archive_payload(type, payload, limit));
}

}  // namespace corvale
