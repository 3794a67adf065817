#pragma once
// Byte strings for tests: written out as byte values where the exact bytes are the point, made
// of repeated pieces, or random from a seed so that a failure can be replayed.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

namespace corvale {

inline std::string bytes(std::initializer_list<unsigned> b) {
  std::string s;
  for (unsigned x : b) s.push_back(static_cast<char>(x));
  return s;
}

inline std::string repeat(std::string_view piece, std::size_t times) {
  std::string s;
  s.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) s += piece;
  return s;
}

inline std::string random_bytes(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(rng() & 0xFF);
  return out;
}

// Hex digits in pairs, spaces between the pairs allowed.
inline std::string from_hex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    i += 2;
  }
  return out;
}

inline std::string hex_of(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

}  // namespace corvale
