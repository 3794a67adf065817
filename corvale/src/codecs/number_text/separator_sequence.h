#pragma once
// The separator runs between the numbers of a number text. When they repeat with a period c (a
// comma, a comma and a line feed for three numbers a line), only the first c are stored and the
// numbers fall into c columns; otherwise the distinct runs form a dictionary and every run is an
// index into it.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/varint.h"

namespace corvale {

inline constexpr const char kTooManyColumns[] = "Too many columns";
inline constexpr const char kEmptySeparatorDictionary[] = "Empty separator dictionary";
inline constexpr const char kInvalidSeparator[] = "Invalid separator";
inline constexpr const char kInvalidSeparatorIndex[] = "Invalid separator index";

// The longest period tried; beyond it a text is better told by a dictionary than by columns.
inline constexpr std::uint64_t kMaxSeparatorPeriod = 256;
// Dictionaries of up to this many runs take one byte per index, larger ones a varint.
inline constexpr std::uint64_t kMaxByteIndexedRuns = 256;

// The runs of one text, collected in order. Each distinct run is kept once (borrowed from the
// text), so the period search compares small ids instead of strings.
class SeparatorSequenceWriter {
 public:
  void reserve(std::size_t runs) { sequence_.reserve(runs); }
  void add(std::string_view run);
  std::uint64_t size() const { return sequence_.size(); }

  // The smallest p <= min(max(m, 1), 256) with run i equal to run i + p wherever both exist, or 0
  // when no such p exists (only possible for m > 256 runs).
  std::uint64_t period() const;
  // Appends the period varint, then its first runs, or (period 0) the dictionary in byte order
  // and every run's index. Returns the period written.
  std::uint64_t write(std::string& out) const;

 private:
  std::unordered_map<std::string_view, std::uint32_t> ids_;
  std::vector<std::string_view> distinct_;  // by id, in order of first appearance
  std::vector<std::uint32_t> sequence_;     // the id of every run in order
};

// A prefix or suffix run: a varint length and that many separator bytes, possibly none.
std::string_view read_text_separator(ByteCursor& cursor);
// A run between two numbers: the same, but never empty.
std::string_view read_dictionary_separator(ByteCursor& cursor);

// The runs between n numbers as read back, borrowed from the decoded body.
struct SeparatorSequence {
  std::uint64_t period = 0;               // 0: dictionary form
  std::vector<std::string_view> strings;  // the first runs of the period, or the dictionary
  bool wide = false;                        // dictionary of more than 256 runs: varint indices
  std::string_view byte_indices;            // dictionary form, !wide
  std::vector<std::uint64_t> wide_indices;  // dictionary form, wide

  std::uint64_t columns() const { return period == 0 ? 1 : period; }
  // Run i of the dictionary form (for the period form the caller cycles through strings).
  std::string_view indexed(std::uint64_t i) const {
    return strings[wide ? wide_indices[i] : static_cast<unsigned char>(byte_indices[i])];
  }
};
SeparatorSequence read_separator_sequence(ByteCursor& cursor, std::uint64_t n);

}  // namespace corvale
