#pragma once
// Every archive type in one table: its value, its name, its payload decoder and whether it
// holds a single number. A codec joins the system with one row here (and, for compressing, one
// row in an encoder list of compress.cpp) beside its own files.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/output_sink.h"

namespace corvale {

// The low 7 bits of an archive's first byte.
enum class ArchiveType : std::uint8_t {
  Stored = 0,
  NumericText = 3,
  BinaryNumeric = 5,
  PowerForm = 8,
  NumberList = 9,
  NumberText = 10,
  Table = 11,
  BlockArchive = 12,
  Formula = 13,
  Log = 14,
};

// Restores what one payload of a type holds, at most limit bytes; runs its codec's own final
// checks. Throws Error with the user's message.
using PayloadDecoder = ByteBuffer (*)(std::string_view payload, std::uint64_t limit);
// The same text written to out as it is made, for the types whose outputs are the largest.
using PayloadStreamer = void (*)(std::string_view payload, std::uint64_t limit, OutputSink& out);

struct ArchiveTypeRow {
  ArchiveType type;
  const char* name;       // for people: "number list"
  PayloadDecoder decode;
  PayloadStreamer stream;  // nullptr: the output is made whole by decode
  bool single_number;      // the output must also pass the single-number check
};

// The row of a type value (the low 7 bits of a type byte); nullptr for a value that names no
// archive type.
const ArchiveTypeRow* find_archive_type(std::uint8_t type);

}  // namespace corvale
