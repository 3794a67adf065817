#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/columns/column_bytes.h"
#include "codecs/columns/column_candidates.h"
#include "codecs/columns/table_column.h"
#include "codecs/columns/text_index.h"
#include "core/varint.h"

namespace corvale {

void append_dictionary_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  // A text is known by the first row that holds it, and a row by its entry's number: a column of
  // distinct cells keeps no list of its entries beside the cells. Rows are numbered in 32 bits,
  // as entries always were: a column is cut from a text far below 4 GiB.
  TextIndex index;
  std::vector<std::uint32_t> numbers(cells.size());
  const auto text_of = [&cells](std::uint32_t row) { return cells[row]; };
  std::uint32_t k32 = 0;
  std::size_t entry_bytes = 0;
  for (std::size_t r = 0; r < cells.size(); ++r) {
    const auto row = static_cast<std::uint32_t>(r);
    const std::uint32_t first = index.find_or_add(cells[r], row, text_of);
    if (first == row) {
      numbers[r] = k32++;
      entry_bytes += varint_size(cells[r].size()) + cells[r].size();
    } else {
      numbers[r] = numbers[first];
    }
  }
  const std::uint64_t k = k32;
  // Sized once: a candidate of a long column would otherwise be copied as it outgrows its room.
  std::size_t size = 1 + varint_size(k) + entry_bytes;
  if (k <= kByteIndexTexts) {
    size += numbers.size();
  } else {
    for (std::uint32_t number : numbers) size += varint_size(number);
  }
  // Written in place: a column of many entries writes a varint of two or three bytes a cell.
  const std::size_t start = out.size();
  out.resize(start + size);
  char* p = out.data() + start;
  *p++ = static_cast<char>(kColumnDictionary);
  p = put_varint(k, p);
  // The entries are the rows where the numbers first reach each value.
  std::uint32_t next = 0;
  for (std::size_t r = 0; next < k; ++r) {
    if (numbers[r] != next) continue;
    p = copy_cell(put_varint(cells[r].size(), p), cells[r]);
    ++next;
  }
  if (k <= kByteIndexTexts) {
    for (std::uint32_t number : numbers) *p++ = static_cast<char>(number);
  } else {
    for (std::uint32_t number : numbers) p = put_varint(number, p);
  }
}

void append_raw_candidate(const std::vector<std::string_view>& cells, std::string& out) {
  std::size_t size = 1;
  for (std::string_view cell : cells) size += varint_size(cell.size()) + cell.size();
  const std::size_t start = out.size();
  out.resize(start + size);
  char* p = out.data() + start;
  *p++ = static_cast<char>(kColumnRaw);
  for (std::string_view cell : cells) p = copy_cell(put_varint(cell.size(), p), cell);
}

}  // namespace corvale
