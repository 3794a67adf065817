#pragma once
// Varints written by hand, for payloads and bodies the encoders would never make.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/varint.h"

namespace corvale::test {

inline std::string varint(std::uint64_t v) {
  std::string out;
  write_varint_u64(v, out);
  return out;
}

inline std::string varints(std::initializer_list<std::uint64_t> values) {
  std::string out;
  for (std::uint64_t v : values) write_varint_u64(v, out);
  return out;
}

}  // namespace corvale::test
