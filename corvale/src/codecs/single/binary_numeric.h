#pragma once
// Archive type 5: one number as the header of its sign, leading zeros and line ending, then the
// zlib stream of its magnitude's big-endian bytes. Every single number gets this payload.

#include <cstdint>
#include <string>
#include <string_view>

#include "codecs/single/single_number.h"
#include "core/bigint.h"

namespace corvale {

inline constexpr const char kEmptyBinaryInteger[] = "Empty binary integer";

// number: the input's parts; magnitude: the value of its significant digits.
std::string encode_binary_numeric_payload(const SingleNumber& number, const BigInt& magnitude);

// The restored text, at most limit bytes. Throws Error.
std::string decode_binary_numeric_payload(std::string_view payload, std::uint64_t limit);

}  // namespace corvale
