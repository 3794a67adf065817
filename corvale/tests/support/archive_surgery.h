#pragma once
// Small byte-surgery helpers for corruption tests: build a stored archive, flip a bit, cut the
// tail, and put a correct checksum back so that only the damage under test remains.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/zlib.h"

namespace corvale::test {

inline std::string be32(std::uint32_t v) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
  return out;
}

// A type byte (with or without the checksum flag), the payload, and when flagged the trailer
// that a correct archive restoring `restored` would carry.
inline std::string make_archive(std::uint8_t type_byte, std::string_view payload, std::string_view restored) {
  std::string out(1, static_cast<char>(type_byte));
  out.append(payload);
  if (type_byte & 0x80) out += be32(crc32_of(restored));
  return out;
}

inline std::string stored_archive(std::string_view data, bool flagged = true) {
  return make_archive(flagged ? 0x80 : 0x00, data, data);
}

inline std::string flip_bit(std::string bytes, std::size_t bit) {
  bytes[bit / 8] = static_cast<char>(static_cast<unsigned char>(bytes[bit / 8]) ^ (1u << (bit % 8)));
  return bytes;
}

inline std::string cut_tail(std::string bytes, std::size_t n) {
  bytes.resize(bytes.size() - (n < bytes.size() ? n : bytes.size()));
  return bytes;
}

// Replaces the last four bytes with the CRC-32 of restored, as if the damage had happened
// before the archive was written.
inline std::string fix_checksum(std::string archive, std::string_view restored) {
  if (archive.size() < 4) return archive;
  archive.replace(archive.size() - 4, 4, be32(crc32_of(restored)));
  return archive;
}

}  // namespace corvale::test
