#pragma once
// The compressor's choice of codec for one input (a whole file, or one block).

#include <string>
#include <string_view>

namespace corvale {

// Input bytes in, archive bytes out; throws Error with the user's message. Stateless, so one
// value is shared by the main thread and every block worker.
using CompressFn = std::string (*)(std::string_view input);

// The archive of input without verification: the single-number encodings, else the first
// structured codec that accepts it (stored when its payload is not shorter), else refused.
std::string compress_best_archive(std::string_view input);

inline constexpr const char kNotNumericMessage[] =
    "Input is not numeric: expected a number (integer, fraction or 1.5e-7), several numbers "
    "separated by spaces, tabs, line breaks or , ; | [ ], a table (CSV, TSV) with at least one "
    "numeric column, or a text log (at least 8 lines of space-separated fields with numbers)";

}  // namespace corvale
