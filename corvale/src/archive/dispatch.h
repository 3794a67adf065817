#pragma once
// Decoding one archive payload by its type (the table of types is archive_types.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

inline constexpr const char kNotANumberMessage[] = "Archive decodes to something that is not a number";

// The bytes the payload of an archive of the given type (the low 7 bits of the type byte)
// restores, at most limit of them. Throws Error.
ByteBuffer decode_archive_payload(std::uint8_t type, std::string_view payload, std::uint64_t limit);
// The same bytes written to out: as they are made by the types that stream their text, at once
// by the others. Throws Error.
void decode_archive_payload_to(std::uint8_t type, std::string_view payload, std::uint64_t limit, OutputSink& out);

// Type 0: the payload is the data.
std::string decode_stored_payload(std::string_view payload, std::uint64_t limit);
// The same, written to out without a copy of its own. Throws Error.
void stream_stored_payload(std::string_view payload, std::uint64_t limit, OutputSink& out);

}  // namespace corvale
