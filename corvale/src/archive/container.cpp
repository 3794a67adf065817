#include "archive/container.h"

#include <optional>

#include "archive/dispatch.h"
#include "core/big_endian.h"
#include "core/error.h"
#include "core/output_budget.h"
#include "core/zlib.h"

namespace corvale {
namespace {

constexpr std::uint8_t kChecksumFlag = 0x80;
constexpr std::size_t kTrailerSize = 4;

// A non-empty archive taken apart. Unflagged archives carry nothing to check against; the
// decoder's word is final.
struct ArchiveParts {
  std::uint8_t type;
  std::string_view payload;
  std::optional<std::uint32_t> crc;
};

ArchiveParts split_archive(std::string_view archive) {
  const auto type_byte = static_cast<unsigned char>(archive[0]);
  if (type_byte < kChecksumFlag) return {type_byte, archive.substr(1), std::nullopt};
  if (archive.size() < 1 + kTrailerSize) throw Error(kMissingArchiveChecksum);
  return {static_cast<std::uint8_t>(type_byte & 0x7F), archive.substr(1, archive.size() - 1 - kTrailerSize),
          read_be32(reinterpret_cast<const unsigned char*>(archive.data() + archive.size() - kTrailerSize))};
}

// Passes the output on, keeping its length and CRC-32.
class CheckedSink final : public OutputSink {
 public:
  explicit CheckedSink(OutputSink& out) : out_(out) {}
  void write(std::string_view bytes) override {
    crc_ = crc32_update(crc_, bytes);
    size_ += bytes.size();
    out_.write(bytes);
  }
  void restart() override {
    crc_ = 0;
    size_ = 0;
    out_.restart();
  }
  std::uint32_t crc() const { return crc_; }
  std::uint64_t size() const { return size_; }

 private:
  OutputSink& out_;
  std::uint32_t crc_ = 0;
  std::uint64_t size_ = 0;
};

}  // namespace

ByteBuffer decode_archive(std::string_view archive, std::uint64_t limit) {
  if (archive.empty()) return {};
  const ArchiveParts parts = split_archive(archive);
  ByteBuffer restored = decode_archive_payload(parts.type, parts.payload, limit);
  if (parts.crc && crc32_of(restored) != *parts.crc) throw Error(kArchiveChecksumMismatch);
  return restored;
}

std::uint64_t decode_archive_to(std::string_view archive, std::uint64_t limit, OutputSink& out) {
  if (archive.empty()) return 0;
  const ArchiveParts parts = split_archive(archive);
  CheckedSink checked(out);
  decode_archive_payload_to(parts.type, parts.payload, limit, checked);
  if (parts.crc && checked.crc() != *parts.crc) throw Error(kArchiveChecksumMismatch);
  return checked.size();
}

std::string wrap_archive_with_checksum(ArchiveType type, std::string payload, std::string_view restored) {
  std::string archive;
  archive.reserve(payload.size() + 1 + kTrailerSize);
  archive.push_back(static_cast<char>(static_cast<std::uint8_t>(type) | kChecksumFlag));
  archive.append(payload);
  payload = std::string();  // the archive is the only copy we keep
  const std::uint32_t crc = crc32_of(restored);
  for (int shift = 24; shift >= 0; shift -= 8) archive.push_back(static_cast<char>((crc >> shift) & 0xFF));
  return archive;
}

}  // namespace corvale
