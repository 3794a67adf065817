#include "archive/archive_types.h"

#include <string>

#include "archive/block_list.h"
#include "archive/dispatch.h"
#include "codecs/log/log.h"
#include "codecs/number_list/number_list.h"
#include "codecs/number_text/number_text.h"
#include "codecs/single/binary_numeric.h"
#include "codecs/single/formula/formula_reader.h"
#include "codecs/single/numeric_text.h"
#include "codecs/single/power_form.h"
#include "codecs/table/table.h"

namespace corvale {
namespace {

// A decoder that builds a string, its result taken over without a copy.
template <std::string (*Decode)(std::string_view, std::uint64_t)>
ByteBuffer as_buffer(std::string_view payload, std::uint64_t limit) {
  return ByteBuffer(Decode(payload, limit));
}

// In type order.
constexpr ArchiveTypeRow kArchiveTypes[] = {
    {ArchiveType::Stored, "stored", as_buffer<decode_stored_payload>, stream_stored_payload, false},
    {ArchiveType::NumericText, "numeric text", as_buffer<decode_numeric_text_archive>, nullptr, true},
    {ArchiveType::BinaryNumeric, "binary numeric", as_buffer<decode_binary_numeric_payload>, nullptr, true},
    {ArchiveType::PowerForm, "power form", as_buffer<decode_power_form_payload>, nullptr, true},
    {ArchiveType::NumberList, "number list", decode_number_list_payload, stream_number_list_payload, false},
    {ArchiveType::NumberText, "number text", decode_number_text_payload, stream_number_text_payload, false},
    {ArchiveType::Table, "table", decode_table_payload, stream_table_payload, false},
    {ArchiveType::BlockArchive, "block archive", as_buffer<decode_block_list_payload>, nullptr, false},
    {ArchiveType::Formula, "formula", as_buffer<decode_formula_payload>, nullptr, true},
    {ArchiveType::Log, "log", decode_log_payload, stream_log_payload, false},
};

}  // namespace

const ArchiveTypeRow* find_archive_type(std::uint8_t type) {
  for (const ArchiveTypeRow& row : kArchiveTypes) {
    if (static_cast<std::uint8_t>(row.type) == type) return &row;
  }
  return nullptr;
}

}  // namespace corvale
