#pragma once
// The shape shared by the payload targets. Byte 0 picks the output limit (bits 0-3). The
// deflated payloads (number list, number text, table, log) hide their structure behind raw
// deflate, which random mutation rarely gets past; so unless bit 7 of byte 0 is set, byte 1 is
// the length h of the payload's plain header, the next h bytes are that header and the rest is
// the inner body, which is deflated here. With bit 7 set, the rest is the payload as it is.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_types.h"
#include "archive/dispatch.h"
#include "core/zlib.h"
#include "fuzz_support.h"

namespace corvale::fuzz {

enum class Body { Plain, Deflated };

inline std::string payload_from_input(std::string_view input, Body body) {
  const bool as_is = body == Body::Plain || (static_cast<unsigned char>(input[0]) & 0x80) != 0;
  input.remove_prefix(1);
  if (as_is || input.empty()) return std::string(input);
  const std::size_t header = std::min<std::size_t>(static_cast<unsigned char>(input[0]), input.size() - 1);
  input.remove_prefix(1);
  return std::string(input.substr(0, header)) + deflate_compress_best(input.substr(header));
}

// Decodes the payload as the decode dispatch does for an archive of this type, with its final
// checks, under the decoder promises of check_decoder.
inline void run_payload_target(ArchiveType type, Body body, const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  const std::string payload = payload_from_input(as_bytes(data, size), body);
  check_decoder([&](std::uint64_t limit) { return decode_archive_payload(static_cast<std::uint8_t>(type), payload, limit); },
                limit_from_byte(data[0]), payload.size());
}

}  // namespace corvale::fuzz

#define CORVALE_PAYLOAD_FUZZ_TARGET(type, body)                                          \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {   \
    ::corvale::fuzz::run_payload_target(::corvale::ArchiveType::type, ::corvale::fuzz::Body::body, data, size); \
    return 0;                                                                            \
  }
