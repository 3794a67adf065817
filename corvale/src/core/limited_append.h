#pragma once
// Text grown by repeated pieces under an output limit, with the allocator's failures as messages.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

inline constexpr const char kAllocatorFailedMessage[] =
    "memory allocation failed because the memory allocator returned an error";
inline constexpr const char kCapacityOverflowMessage[] =
    "memory allocation failed because the computed capacity exceeded the collection's maximum";

// Appends count copies of piece, or throws without changing out when the total would pass limit.
void append_repeated_limited(std::string& out, std::string_view piece, std::uint64_t count, std::uint64_t limit);

}  // namespace corvale
