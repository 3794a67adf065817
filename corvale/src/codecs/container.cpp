#include "codecs/container.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "codecs/compress.h"
#include "codecs/dispatch.h"
#include "codecs/error.h"
#include "codecs/output_budget.h"
#include "codecs/zlib.h"


namespace corvale {
namespace {

constexpr std::uint8_t kChecksumFlag = 0x80;
constexpr std::size_t kTrailerSize = 4;

std::uint32_t read_be32(std::string_view bytes) {
  std::uint32_t v = 0;
  for (unsigned char b : bytes.substr(0, 4)) v = (v << 8) | b;
  return v;
}

}  // namespace

ByteBuffer decode_archive(std::string_view archive, std::uint64_t limit) {
  if (archive.empty()) return {};
  const auto type_byte = static_cast<unsigned char>(archive[0]);
  if (type_byte < kChecksumFlag) {
    // Unflagged archives carry nothing to check against; the decoder's word is final.
    return decode_archive_payload(type_byte, archive.substr(1), limit);
  }
  if (archive.size() < 1 + kTrailerSize) throw Error(kMissingArchiveChecksum);
  const std::string_view payload = archive.substr(1, archive.size() - 1 - kTrailerSize);
  ByteBuffer restored = decode_archive_payload(type_byte & 0x7F, payload, limit);
  if (crc32_of(restored) != read_be32(archive.substr(archive.size() - kTrailerSize))) {
    throw Error(kArchiveChecksumMismatch);
  }
  return restored;
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
    const ByteBuffer restored = decode_archive(archive, input.size());
    restores = restored == input;
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
