#pragma once
// The texts the program prints about itself. The front end and scripts read them, so they are
// kept byte for byte.

#include <cstdint>
#include <string>

#include "corvale_version.h"

namespace corvale {

inline constexpr const char kHelpText[] =
    "Lossless compression of telemetry, time series, tables and logs\n"
    "\n"
    "Usage: corvale <compress|decompress> -i <input> -o <output> [--max-output <size>]\n"
    "               [--threads <n>] [--no-verify]\n"
    "\n"
    "  -i, --input       Input file\n"
    "  -o, --output      Output file\n"
    "  --max-output      Decompressed size limit, e.g. 10G (default: 512 MiB for ordinary\n"
    "                    archives, 64 GiB for block archives)\n"
    "  -j, --threads     Threads for files over 32 MiB (default: number of cores, at most 8);\n"
    "                    the archive does not depend on it\n"
    "  --progress        Report progress on stderr as \"PROGRESS <bytes done> <bytes total>\"\n"
    "  --no-verify       Skip the check that the new archive restores the input exactly\n"
    "                    (compress only; faster, not recommended)\n"
    "  -h, --help        Show help\n"
    "  -V, --version     Show version\n"
    "\n"
    "Input: one number, numbers separated by spaces, tabs, line breaks or , ; | [ ], a\n"
    "table (CSV, TSV) with a numeric column, or a text log with numbers (web server,\n"
    "application, system logs); anything else is rejected. Files over 32 MiB\n"
    "are compressed and restored block by block, in parallel, with bounded memory.";

// The archive format this build writes, as an unsigned 32-bit number.
inline constexpr std::uint32_t kArchiveFormatVersion = CORVALE_ARCHIVE_FORMAT;

inline std::string version_line() {
  return "corvale " CORVALE_VERSION " (archive format " + std::to_string(kArchiveFormatVersion) +
         ", released " CORVALE_RELEASE_DATE ")\n";
}

}  // namespace corvale
