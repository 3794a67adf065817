#pragma once
// Compressing an input too large to hold whole: it is read in pieces, cut into blocks of at most
// 8 MiB (the last up to 12 MiB), each block becomes one archive of its own on the worker
// threads, and the archives are written in input order into a block archive file.

#include <cstdint>
#include <filesystem>

#include "archive/compress.h"
#include "io/progress_reader.h"

namespace corvale {

struct BlockArchiveCounts {
  std::uint64_t input_bytes = 0;   // every byte read from the input
  std::uint64_t output_bytes = 0;  // the size of the written file
};

// Reads the rest of input on the calling thread; compress runs on `threads` workers (0 or 1:
// all on the calling thread) and must be safe to share. Writes the output only through its
// temporary file, which a failure removes. Throws Error; a worker's fault is rethrown as is.
BlockArchiveCounts compress_block_archive_to_file(const std::filesystem::path& output, ProgressReader& input,
                                                  CompressFn compress, std::uint64_t threads);

}  // namespace corvale
