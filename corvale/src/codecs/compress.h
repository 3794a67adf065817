#pragma once
// The compressor's choice of codec for one input (a whole file, or one block).

#include <optional>
#include <string>
#include <string_view>

#include "codecs/container.h"

namespace corvale {

// Input bytes in, archive bytes out; throws Error with the user's message. Stateless, so one
// value is shared by the main thread and every block worker.
using CompressFn = std::string (*)(std::string_view input);

// The archive of input without verification: the single-number encodings, else the first
// structured codec that accepts it (stored when its payload is not shorter), else refused.
std::string compress_best_archive(std::string_view input);

// One codec's payload with the type it is archived under.
struct ArchivePayload {
  ArchiveType type;
  std::string bytes;
};

// The choice among single-number encodings, offered in a fixed order: the first becomes the
// best, a later one replaces it only when strictly shorter (a tie keeps the earlier type).
void keep_shorter_payload(std::optional<ArchivePayload>& best, ArchivePayload candidate);

// The archive of a structured codec's payload: stored (type 0, a copy of input) when the
// payload is not shorter than input, else the payload under its own type.
std::string wrap_structured_payload(ArchivePayload payload, std::string_view input);

inline constexpr const char kNotNumericMessage[] =
    "Input is not numeric: expected a number (integer, fraction or 1.5e-7), several numbers "
    "separated by spaces, tabs, line breaks or , ; | [ ], a table (CSV, TSV) with at least one "
    "numeric column, or a text log (at least 8 lines of space-separated fields with numbers)";

}  // namespace corvale
