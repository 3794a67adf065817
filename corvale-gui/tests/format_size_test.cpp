#include "logic/format_size.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace corvale_gui {
namespace {

struct SizeCase {
  std::uint64_t bytes;
  const char* english;
  const char* russian;
};

TEST(FormatSize, UnitsDecimalsAndRounding) {
  const SizeCase cases[] = {
      {0, "0 bytes", "0 байт"},
      {999, "999 bytes", "999 байт"},
      {1000, "1.00 KB", "1,00 КБ"},
      {1005, "1.00 KB", "1,00 КБ"},     // 1.005 is just below the tie in binary
      {1015, "1.01 KB", "1,01 КБ"},     // 1.015 likewise
      {1125, "1.12 KB", "1,12 КБ"},     // exact tie: to the even digit
      {1375, "1.38 KB", "1,38 КБ"},     // exact tie upward to the even digit
      {9999, "10.00 KB", "10,00 КБ"},   // decimals chosen before rounding
      {10000, "10.0 KB", "10,0 КБ"},
      {99950, "100.0 KB", "100,0 КБ"},
      {100000, "100 KB", "100 КБ"},
      {999500, "1000 KB", "1000 КБ"},   // tie 999.5 goes to even 1000
      {998500, "998 KB", "998 КБ"},     // tie 998.5 goes to even 998
      {999999, "1000 KB", "1000 КБ"},
      {1000000, "1.00 MB", "1,00 МБ"},
      {12345678, "12.3 MB", "12,3 МБ"},
      {1500000, "1.50 MB", "1,50 МБ"},
      {2500000000, "2.50 GB", "2,50 ГБ"},
      {1000000000000, "1.00 TB", "1,00 ТБ"},
      {1000000000000000, "1000 TB", "1000 ТБ"},  // no unit above TB
      {std::numeric_limits<std::uint64_t>::max(), "18446744 TB", "18446744 ТБ"},
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(format_size(c.bytes, true), c.english) << c.bytes;
    EXPECT_EQ(format_size(c.bytes, false), c.russian) << c.bytes;
  }
}

TEST(FormatPercentage, OneDecimalTiesToEvenAndDecimalComma) {
  EXPECT_EQ(format_percentage(1000, 333, true), "33.3");
  EXPECT_EQ(format_percentage(0, 5, true), "0.0");           // no input: 0, not a division
  EXPECT_EQ(format_percentage(1000, 1500, true), "150.0");   // may exceed 100
  EXPECT_EQ(format_percentage(1500000, 312000, false), "20,8");
  EXPECT_EQ(format_percentage(400, 1, true), "0.2");         // exact 0.25: to the even digit
  EXPECT_EQ(format_percentage(400, 3, true), "0.8");         // exact 0.75: likewise, upward
  EXPECT_EQ(format_percentage(1, 0, false), "0,0");
}

}  // namespace
}  // namespace corvale_gui
