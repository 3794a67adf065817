#pragma once
// The compressor's choice of codec for one input (a whole file, or one block).

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "archive/archive_types.h"
#include "archive/container.h"
#include "codecs/single/power_form.h"
#include "codecs/single/single_number.h"
#include "core/bigint.h"

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

// A single number as every single-number encoder sees it, worked out once per input: its
// parts, its value, and its power form (the formula search starts from the one the power-form
// encoder uses instead of searching again).
struct SingleNumberInput {
  SingleNumber number;
  BigInt magnitude;
  std::optional<PowerCandidate> power;
};

// The encoders in the order the compressor offers an input to them. A single number goes to
// every single-number encoder, and the shortest payload wins (Stored is never used for it); any
// other input goes to the structured encoders in turn until one accepts it. Either kind answers
// nothing when the input is not its kind, and throws Error when it fails.
struct SingleNumberEncoder {
  ArchiveType type;
  std::optional<std::string> (*encode)(const SingleNumberInput& input);
  std::uint64_t max_input = std::numeric_limits<std::uint64_t>::max();  // offered only inputs of at most this many bytes
};
struct StructuredEncoder {
  ArchiveType type;
  std::optional<std::string> (*encode)(std::string_view input);
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
