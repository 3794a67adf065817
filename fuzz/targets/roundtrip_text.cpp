// Text made only of what numeric files hold (digits above all, signs, points, exponents, the
// separators, quotes, a few letters), each input byte picking one character, through the
// compressor and back: random bytes alone would rarely be taken by any codec.
#include <string>

#include "roundtrip_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::string_view kAlphabet =
      "0123456789012345678901234567890123456789\n\n\n\n   ,,,;\t|[]-+.eE\"\r:/abcxAZ_";
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = kAlphabet[data[i] % kAlphabet.size()];
  corvale::fuzz::check_round_trip(text);
  return 0;
}
