#include "stream/block_format.h"

#include <algorithm>

#include "core/error.h"
#include "core/varint.h"

namespace corvale {
namespace {

bool is_block_separator(unsigned char c) {
  return c == '\t' || c == ' ' || c == ',' || c == ';' || c == '[' || c == ']' || c == '|';
}

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// The last i in [from, to) whose byte passes test, as the cut i + 1.
template <class Test>
std::optional<std::uint64_t> cut_after_last(std::string_view buffer, std::uint64_t from, std::uint64_t to, Test test) {
  for (std::uint64_t i = to; i > from; --i) {
    if (test(static_cast<unsigned char>(buffer[i - 1]))) return i;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> find_block_boundary(std::string_view buffer, std::uint64_t t) {
  const std::uint64_t h = t / 2;
  const std::uint64_t end = std::min<std::uint64_t>(t, buffer.size());
  if (end <= h) return std::nullopt;
  if (auto cut = cut_after_last(buffer, h, end, [](unsigned char c) { return c == '\n'; })) return cut;
  if (auto cut = cut_after_last(buffer, h, end, is_block_separator)) return cut;
  // Between two digits of one run: p - 1 and p both digits, with p at most t and inside buffer.
  const std::uint64_t last_p = std::min<std::uint64_t>(t, buffer.size() - 1);
  for (std::uint64_t p = last_p; p > h; --p) {
    if (is_digit(static_cast<unsigned char>(buffer[p])) && is_digit(static_cast<unsigned char>(buffer[p - 1]))) {
      return p;
    }
  }
  return std::nullopt;
}

std::uint64_t read_block_varint(ProgressReader& reader) {
  // Collect the varint's bytes (at most ten: a longer one is invalid whatever follows), then let
  // the one varint reader judge them.
  unsigned char bytes[10];
  std::size_t n = 0;
  do {
    try {
      if (progress_reader_read(reader, reinterpret_cast<char*>(bytes + n), 1) != 1) throw Error(kTruncatedBlockArchive);
    } catch (const platform::OsError&) {
      throw Error(kTruncatedBlockArchive);
    }
  } while ((bytes[n++] & 0x80) != 0 && n < sizeof bytes);
  ByteCursor cursor{std::string_view(reinterpret_cast<const char*>(bytes), n)};
  return cursor_read_varint_u64(cursor);
}

}  // namespace corvale
