#pragma once
// Messages that number lists and number texts share: both mark their "-0" values by position,
// and both restore texts that must still read as numbers.

namespace corvale {

inline constexpr const char kInvalidMinusZeroIndex[] = "Invalid -0 index";
inline constexpr const char kRepeatedMinusZeroIndex[] = "Repeated -0 index";
inline constexpr const char kNotANumberList[] = "Archive decodes to something that is not a number list";

}  // namespace corvale
