#include "codecs/single/binary_numeric.h"

#include <utility>

#include "core/error.h"
#include "core/zlib.h"

namespace corvale {

std::string encode_binary_numeric_payload(const SingleNumber& number, const BigInt& magnitude) {
  std::string payload = write_binary_numeric_header(number.flags, number.leading_zeros);
  payload += zlib_compress_best(magnitude.is_zero() ? std::string(1, '\0') : magnitude.to_bytes_be());
  return payload;
}

std::string decode_binary_numeric_payload(std::string_view payload, std::uint64_t limit) {
  const BinaryNumericHeader h = parse_binary_numeric_header(payload, kBinaryNumericFlagMask, limit);
  BigInt value;
  {
    // The bytes go before the text is rendered: a large number need not be held three times.
    const ByteBuffer bytes = inflate_limited(h.rest, limit, true);
    if (bytes.empty()) throw Error(kEmptyBinaryInteger);
    value = BigInt::from_bytes_be(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  }
  return render_number_text(h.flags, h.leading_zeros, std::move(value), limit);
}

}  // namespace corvale
