// Any text through the integer-expression parser, which evaluates what archives of type 3 hold:
// it answers a value or its message, within its caps on length, operations and bits.
#include "codecs/single/expression.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = corvale::fuzz::as_bytes(data, size);
  try {
    const corvale::BigInt value = corvale::parse_integer_expression(text);
    FUZZ_CHECK(text.size() <= corvale::kMaxExpressionLength);
    FUZZ_CHECK(value.bit_length() <= corvale::kMaxExpressionBits);
  } catch (const corvale::Error&) {
  }
  return 0;
}
