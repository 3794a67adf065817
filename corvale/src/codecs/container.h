#pragma once
// The archive container: a type byte (bit 7: a CRC-32 trailer follows), the codec's payload,
// and the big-endian CRC-32 of the restored data.

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/archive_types.h"
#include "codecs/byte_buffer.h"
#include "codecs/output_sink.h"

namespace corvale {

inline constexpr const char kMissingArchiveChecksum[] = "Missing archive checksum";
inline constexpr const char kArchiveChecksumMismatch[] = "Archive checksum mismatch: the archive is damaged";
// The support contact is whoever ships the build (the CMake cache variable CORVALE_SUPPORT_CONTACT).
inline constexpr const char kVerificationFailedMessage[] =
    "Verification failed: the archive would not restore the input exactly, so nothing was written. "
    "Please report this file to " CORVALE_SUPPORT_CONTACT " and use zstd or xz for it meanwhile";
inline constexpr const char kAllocatorFailedMessage[] =
    "memory allocation failed because the memory allocator returned an error";
inline constexpr const char kCapacityOverflowMessage[] =
    "memory allocation failed because the computed capacity exceeded the collection's maximum";

// Restores the data of one archive, producing at most limit bytes. Throws Error.
ByteBuffer decode_archive(std::string_view archive, std::uint64_t limit);
// The same bytes written to out, a piece at a time for the types that stream their text; a
// checksum that does not match throws after the last piece. Returns how many bytes were written
// (after the last restart). Throws Error.
std::uint64_t decode_archive_to(std::string_view archive, std::uint64_t limit, OutputSink& out);

// type | 0x80, the payload, the CRC-32 of restored.
std::string wrap_archive_with_checksum(ArchiveType type, std::string payload, std::string_view restored);

// The default CompressFn: compress_best_archive, then a full decode that must give the input
// back exactly. Throws Error.
std::string compress_verified(std::string_view input);

// The archive itself when it decodes (limit: the input's length) to input exactly; otherwise
// throws the verification message, whatever went wrong. The second half of compress_verified.
std::string check_archive_restores(std::string archive, std::string_view input);

// Appends count copies of piece, or throws without changing out when the total would pass limit.
void append_repeated_limited(std::string& out, std::string_view piece, std::uint64_t count, std::uint64_t limit);

}  // namespace corvale
