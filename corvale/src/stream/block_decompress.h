#pragma once
// Restoring a block archive file without holding it whole: blocks are read one by one, decoded
// on the worker threads, and written in block order under the decompressed-size limit; the
// CRC-32 trailer is checked against everything written before the output appears.

#include <cstdint>
#include <filesystem>
#include <optional>

#include "io/progress_reader.h"

namespace corvale {

// Without --max-output a block archive may restore up to 64 GiB.
inline constexpr std::uint64_t kDefaultBlockArchiveLimit = 68'719'476'736;

// input stands just after the byte 0x8C. Returns the number of bytes restored. Writes the output
// only through its temporary file, which a failure removes. Throws Error; a worker's fault is
// rethrown as is.
std::uint64_t decompress_block_archive_to_file(const std::filesystem::path& output, ProgressReader& input,
                                               std::optional<std::uint64_t> max_output, std::uint64_t threads);

}  // namespace corvale
