#include "logic/format_size.h"

#include <charconv>
#include <system_error>

#include "logic/texts.h"

namespace corvale_gui {

std::string format_decimal(double value, int decimals, bool english) {
  // to_chars rounds the exact binary value (a tie only when that value is one, then to the
  // even digit), unlike the C runtime's printf on some platforms: 1.015 is stored just below
  // the tie and gives "1.01".
  char buffer[400];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return "?";  // only a value beyond any u64 ratio could get here
  std::string text(buffer, end);
  if (!english) {
    for (char& c : text) {
      if (c == '.') c = ',';
    }
  }
  return text;
}

std::string format_size(std::uint64_t bytes, bool english) {
  const Texts& t = texts(english);
  std::string text;
  if (bytes < 1000) {
    text = std::to_string(bytes);
    text += ' ';
    text += t.bytes_unit;
    return text;
  }
  double x = static_cast<double>(bytes) / 1000.0;
  int divisions = 1;
  while (x >= 1000.0 && divisions < 4) {
    x /= 1000.0;
    ++divisions;
  }
  // The thresholds look at x before rounding: 9,999 bytes are '10.00 KB', not '10.0 KB'.
  int decimals = x < 10.0 ? 2 : x < 100.0 ? 1 : 0;
  text = format_decimal(x, decimals, english);
  text += ' ';
  text += t.units[divisions - 1];
  return text;
}

std::string format_percentage(std::uint64_t input_size, std::uint64_t output_size, bool english) {
  double share = input_size == 0
                     ? 0.0
                     : static_cast<double>(output_size) / static_cast<double>(input_size) * 100.0;
  return format_decimal(share, 1, english);
}

}  // namespace corvale_gui
