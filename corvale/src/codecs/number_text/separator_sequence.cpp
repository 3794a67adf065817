#include "codecs/number_text/separator_sequence.h"

#include <algorithm>
#include <numeric>

#include "codecs/written/written_number.h"
#include "core/error.h"

namespace corvale {

void SeparatorSequenceWriter::add(std::string_view run) {
  // Most texts have a handful of distinct runs: comparing with each is cheaper than hashing.
  constexpr std::size_t kFewRuns = 8;
  if (distinct_.size() <= kFewRuns) {
    for (std::size_t id = 0; id < distinct_.size(); ++id) {
      if (distinct_[id] == run) {
        sequence_.push_back(static_cast<std::uint32_t>(id));
        return;
      }
    }
  }
  const auto [it, inserted] = ids_.try_emplace(run, static_cast<std::uint32_t>(distinct_.size()));
  if (inserted) distinct_.push_back(run);
  sequence_.push_back(it->second);
}

std::uint64_t SeparatorSequenceWriter::period() const {
  const std::size_t m = sequence_.size();
  if (m == 0) return 1;
  // The smallest period of a sequence is its length less its longest proper border, which the
  // prefix function finds in linear time whatever the runs look like.
  std::vector<std::uint32_t> border(m, 0);
  for (std::size_t i = 1; i < m; ++i) {
    std::uint32_t k = border[i - 1];
    while (k > 0 && sequence_[i] != sequence_[k]) k = border[k - 1];
    if (sequence_[i] == sequence_[k]) ++k;
    border[i] = k;
  }
  const std::uint64_t p = m - border[m - 1];
  return p <= kMaxSeparatorPeriod ? p : 0;
}

std::uint64_t SeparatorSequenceWriter::write(std::string& out) const {
  auto write_run = [&out](std::string_view run) {
    write_varint_u64(run.size(), out);
    out += run;
  };
  const std::uint64_t c = period();
  write_varint_u64(c, out);
  if (c > 0) {
    const std::uint64_t first = std::min<std::uint64_t>(c, sequence_.size());
    for (std::uint64_t i = 0; i < first; ++i) write_run(distinct_[sequence_[i]]);
    return c;
  }

  const std::size_t k = distinct_.size();
  std::vector<std::uint32_t> by_bytes(k);
  std::iota(by_bytes.begin(), by_bytes.end(), 0u);
  // string_view compares bytes as unsigned, a proper prefix first.
  std::sort(by_bytes.begin(), by_bytes.end(), [&](std::uint32_t a, std::uint32_t b) { return distinct_[a] < distinct_[b]; });
  std::vector<std::uint32_t> index_of(k);
  write_varint_u64(k, out);
  for (std::size_t i = 0; i < k; ++i) {
    index_of[by_bytes[i]] = static_cast<std::uint32_t>(i);
    write_run(distinct_[by_bytes[i]]);
  }
  if (k <= kMaxByteIndexedRuns) {
    const std::size_t start = out.size();
    out.resize(start + sequence_.size());
    for (std::size_t i = 0; i < sequence_.size(); ++i) out[start + i] = static_cast<char>(index_of[sequence_[i]]);
  } else {
    for (const std::uint32_t id : sequence_) write_varint_u64(index_of[id], out);
  }
  return 0;
}

std::string_view read_text_separator(ByteCursor& cursor) {
  const std::uint64_t length = cursor_read_varint_u64(cursor);
  const std::string_view run = cursor_take_bytes(cursor, length);
  if (!is_separator_text(run)) throw Error(kInvalidSeparator);
  return run;
}

std::string_view read_dictionary_separator(ByteCursor& cursor) {
  const std::string_view run = read_text_separator(cursor);
  if (run.empty()) throw Error(kInvalidSeparator);
  return run;
}

SeparatorSequence read_separator_sequence(ByteCursor& cursor, std::uint64_t n) {
  const std::uint64_t m = n - 1;
  SeparatorSequence seq;
  seq.period = cursor_read_varint_u64(cursor);
  if (seq.period > std::min(std::max<std::uint64_t>(m, 1), kMaxSeparatorPeriod)) throw Error(kTooManyColumns);
  if (seq.period > 0) {
    const std::uint64_t first = std::min(seq.period, m);
    for (std::uint64_t i = 0; i < first; ++i) seq.strings.push_back(read_dictionary_separator(cursor));
    return seq;
  }

  const std::uint64_t k = cursor_read_varint_u64(cursor);
  if (k == 0) throw Error(kEmptySeparatorDictionary);
  // Grown as the strings arrive: every one takes at least two bytes, so k cannot outrun the body.
  for (std::uint64_t i = 0; i < k; ++i) seq.strings.push_back(read_dictionary_separator(cursor));
  seq.wide = k > kMaxByteIndexedRuns;
  if (!seq.wide) {
    seq.byte_indices = cursor_take_bytes(cursor, m);
    if (k < 256) {
      for (unsigned char index : seq.byte_indices) {
        if (index >= k) throw Error(kInvalidSeparatorIndex);
      }
    }
  } else {
    seq.wide_indices = cursor_read_varint_vec(cursor, m);
    for (const std::uint64_t index : seq.wide_indices) {
      if (index >= k) throw Error(kInvalidSeparatorIndex);
    }
  }
  return seq;
}

}  // namespace corvale
