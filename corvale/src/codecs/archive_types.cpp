#include "codecs/archive_types.h"

#include <string>

#include "codecs/binary_numeric.h"
#include "codecs/block_list.h"
#include "codecs/dispatch.h"
#include "codecs/formula_reader.h"
#include "codecs/log.h"
#include "codecs/number_list.h"
#include "codecs/number_text.h"
#include "codecs/numeric_text.h"
#include "codecs/power_form.h"
#include "codecs/table.h"

namespace corvale {
namespace {

// In type order.
constexpr ArchiveTypeRow kArchiveTypes[] = {
    {ArchiveType::Stored, "stored", decode_stored_payload, false},
    {ArchiveType::NumericText, "numeric text", read_numeric_text_payload, true},
    {ArchiveType::BinaryNumeric, "binary numeric", decode_binary_numeric_payload, true},
    {ArchiveType::PowerForm, "power form", decode_power_form_payload, true},
    {ArchiveType::NumberList, "number list", decode_number_list_payload, false},
    {ArchiveType::NumberText, "number text", decode_number_text_payload, false},
    {ArchiveType::Table, "table", decode_table_archive, false},
    {ArchiveType::BlockArchive, "block archive", decode_block_list, false},
    {ArchiveType::Formula, "formula", decode_formula_payload, true},
    {ArchiveType::Log, "log", decode_log_payload, false},
};

}  // namespace

const ArchiveTypeRow* find_archive_type(std::uint8_t type) {
  for (const ArchiveTypeRow& row : kArchiveTypes) {
    if (static_cast<std::uint8_t>(row.type) == type) return &row;
  }
  return nullptr;
}

}  // namespace corvale
