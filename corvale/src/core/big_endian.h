#pragma once
// Big-endian words as the archive trailers store them.

#include <cstdint>

namespace corvale {

// The four bytes at bytes, most significant first.
inline constexpr std::uint32_t read_be32(const unsigned char* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

}  // namespace corvale
