#pragma once
// Sizes and shares written for people, with a decimal comma in Russian.

#include <cstdint>
#include <string>

namespace corvale_gui {

// Decimal units (1 KB = 1000 bytes): '999 bytes', '1.00 KB', '12.3 MB', '1000 TB'.
std::string format_size(std::uint64_t bytes, bool english);

// output / input as a percentage with one decimal ('33.3'); 0 when input is 0.
std::string format_percentage(std::uint64_t input_size, std::uint64_t output_size, bool english);

// value with the given number of decimals, correctly rounded (an exact tie goes to the
// even digit), "." replaced by "," in Russian.
std::string format_decimal(double value, int decimals, bool english);

}  // namespace corvale_gui
