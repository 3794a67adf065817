#pragma once
// The digits of a decoded value's magnitude as a restored text writes them, for the tests of the
// codecs that keep decoded values.

#include <cstddef>
#include <string>

#include "codecs/written/compact_values.h"
#include "codecs/written/number_pieces.h"

namespace corvale::test {

inline std::string magnitude_text(const CompactValues& values, std::size_t i) {
  NumberPieces number;
  number.mantissa = Magnitude::of(values, i);
  std::string out(static_cast<std::size_t>(number.length()) + kTextSlack, '\0');
  out.resize(static_cast<std::size_t>(number.write(out.data()) - out.data()));
  return out;
}

}  // namespace corvale::test
