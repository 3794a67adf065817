#pragma once
// Every archive type in one table: its value, its name, its payload decoder and whether it
// holds a single number. A codec joins the system with one row here (and, for compressing, one
// row in an encoder list of compress.cpp) beside its own files.

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/error.h"

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
using PayloadDecoder = std::string (*)(std::string_view payload, std::uint64_t limit);

struct ArchiveTypeRow {
  ArchiveType type;
  const char* name;       // for people: "number list"
  PayloadDecoder decode;  // nullptr until the codec is built
  bool single_number;     // the output must also pass the single-number check
};

// The row of a type value (the low 7 bits of a type byte); nullptr for a value that names no
// archive type.
const ArchiveTypeRow* find_archive_type(std::uint8_t type);

// What an archive of a type whose codec is not built yet reads as.
Error type_not_yet_supported(ArchiveType type);

// Block lists (type 12) are decoded on worker threads, and threads belong to the program
// library, not to the codecs. The program therefore installs its block-list decoder here once
// at start-up, before any archive is decoded and before any thread starts; until then (and in
// programs that never install one, such as the codecs' own tests) type 12 reads as not yet
// supported. Installing nullptr returns to that state.
void install_block_list_decoder(PayloadDecoder decoder);

}  // namespace corvale
