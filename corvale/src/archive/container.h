#pragma once
// The archive container: a type byte (bit 7: a CRC-32 trailer follows), the codec's payload,
// and the big-endian CRC-32 of the restored data.

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/archive_types.h"
#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

inline constexpr const char kMissingArchiveChecksum[] = "Missing archive checksum";
inline constexpr const char kArchiveChecksumMismatch[] = "Archive checksum mismatch: the archive is damaged";

// Restores the data of one archive, producing at most limit bytes. Throws Error.
ByteBuffer decode_archive(std::string_view archive, std::uint64_t limit);
// The same bytes written to out, a piece at a time for the types that stream their text; a
// checksum that does not match throws after the last piece. Returns how many bytes were written
// (after the last restart). Throws Error.
std::uint64_t decode_archive_to(std::string_view archive, std::uint64_t limit, OutputSink& out);

// type | 0x80, the payload, the CRC-32 of restored.
std::string wrap_archive_with_checksum(ArchiveType type, std::string payload, std::string_view restored);

}  // namespace corvale
