#include "codecs/container.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>

#include "codecs/big_endian.h"
#include "codecs/compress.h"
#include "codecs/dispatch.h"
#include "codecs/error.h"
#include "codecs/output_budget.h"
#include "codecs/zlib.h"


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

// Holds each piece against the text expected at its place, so that a check keeps no copy.
class ComparingSink final : public OutputSink {
 public:
  explicit ComparingSink(std::string_view expected) : expected_(expected) {}
  void write(std::string_view bytes) override {
    same_ = same_ && bytes.size() <= expected_.size() - at_ && expected_.substr(at_, bytes.size()) == bytes;
    if (same_) at_ += bytes.size();
  }
  void restart() override {
    at_ = 0;
    same_ = true;
  }
  bool matches() const { return same_ && at_ == expected_.size(); }

 private:
  std::string_view expected_;
  std::size_t at_ = 0;
  bool same_ = true;
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

std::string compress_verified(std::string_view input) {
  return check_archive_restores(compress_best_archive(input), input);
}

std::string check_archive_restores(std::string archive, std::string_view input) {
  bool restores = false;
  try {
    // The input's length as the limit: a faulty archive that would expand past the input stops
    // early instead of allocating without bound.
    ComparingSink restored(input);
    decode_archive_to(archive, input.size(), restored);
    restores = restored.matches();
  } catch (const Error&) {
    // Any decoder message means the same to the user as a wrong byte: the archive is unsafe.
  }
  if (!restores) throw Error(kVerificationFailedMessage);
  return archive;
}

void append_repeated_limited(std::string& out, std::string_view piece, std::uint64_t count, std::uint64_t limit) {
  const std::uint64_t piece_len = piece.size();
  if (piece_len != 0 && count > std::numeric_limits<std::uint64_t>::max() / piece_len) throw output_limit_error();
  const std::uint64_t total = piece_len * count;
  const std::uint64_t size = out.size();
  check_output_room(size, total, limit);
  if (total == 0) return;

  if (out.capacity() - size < total) {
    const std::uint64_t needed = size + total;
    if (needed > out.max_size()) throw Error(kCapacityOverflowMessage);
    const std::uint64_t doubled = std::min<std::uint64_t>(2 * static_cast<std::uint64_t>(out.capacity()), out.max_size());
    const std::uint64_t new_capacity = std::max<std::uint64_t>({needed, doubled, 8});
    try {
      out.reserve(static_cast<std::size_t>(new_capacity));
    } catch (const std::bad_alloc&) {
      throw Error(kAllocatorFailedMessage);
    } catch (const std::length_error&) {
      throw Error(kCapacityOverflowMessage);
    }
  }

  if (piece_len == 1) {
    out.append(static_cast<std::size_t>(count), piece[0]);
    return;
  }
  // Copy the piece once, then double the copied run from the output itself: log(count) copies.
  const std::size_t start = out.size();
  out.append(piece);
  const std::size_t end = static_cast<std::size_t>(size + total);
  while (out.size() < end) {
    const std::size_t run = std::min(out.size() - start, end - out.size());
    out.append(out.data() + start, run);  // capacity is reserved, so the source stays put
  }
}

}  // namespace corvale
