#pragma once
// The magnitude of a 64-bit integer as an unsigned word, defined for INT64_MIN too.

#include <cstdint>

namespace corvale {

inline constexpr std::uint64_t magnitude_of(std::int64_t v) {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

}  // namespace corvale
