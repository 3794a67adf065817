#include "codecs/archive_types.h"

#include <atomic>
#include <string>

#include "codecs/dispatch.h"
#include "codecs/number_list.h"
#include "codecs/number_text.h"

namespace corvale {
namespace {

std::atomic<PayloadDecoder> installed_block_list_decoder{nullptr};

std::string decode_block_list(std::string_view payload, std::uint64_t limit) {
  const PayloadDecoder decoder = installed_block_list_decoder.load(std::memory_order_acquire);
  if (decoder == nullptr) throw type_not_yet_supported(ArchiveType::BlockArchive);
  return decoder(payload, limit);
}

// In type order.
// NOT-YET: the decoders of types 3, 5, 8, 11, 13 and 14 land with their codecs.
constexpr ArchiveTypeRow kArchiveTypes[] = {
    {ArchiveType::Stored, "stored", decode_stored_payload, false},
    {ArchiveType::NumericText, "numeric text", nullptr, true},
    {ArchiveType::BinaryNumeric, "binary numeric", nullptr, true},
    {ArchiveType::PowerForm, "power form", nullptr, true},
    {ArchiveType::NumberList, "number list", decode_number_list_payload, false},
    {ArchiveType::NumberText, "number text", decode_number_text_payload, false},
    {ArchiveType::Table, "table", nullptr, false},
    {ArchiveType::BlockArchive, "block archive", decode_block_list, false},
    {ArchiveType::Formula, "formula", nullptr, true},
    {ArchiveType::Log, "log", nullptr, false},
};

}  // namespace

const ArchiveTypeRow* find_archive_type(std::uint8_t type) {
  for (const ArchiveTypeRow& row : kArchiveTypes) {
    if (static_cast<std::uint8_t>(row.type) == type) return &row;
  }
  return nullptr;
}

Error type_not_yet_supported(ArchiveType type) {
  const auto value = static_cast<unsigned>(type);
  return Error("Archive type " + std::to_string(value) + " (" + find_archive_type(static_cast<std::uint8_t>(value))->name +
               ") is not supported by this version yet");
}

void install_block_list_decoder(PayloadDecoder decoder) {
  installed_block_list_decoder.store(decoder, std::memory_order_release);
}

}  // namespace corvale
