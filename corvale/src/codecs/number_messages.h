#pragma once
// Messages that number lists and number texts share: both mark their -0 values by position, and
// both check that what they restore is the kind of text they were made from.

namespace corvale {

inline constexpr const char kInvalidMinusZeroIndex[] = "Invalid -0 index";
inline constexpr const char kRepeatedMinusZeroIndex[] = "Repeated -0 index";
inline constexpr const char kNotANumberList[] = "Archive decodes to something that is not a number list";

}  // namespace corvale
