#include "codecs/candidate_choice.h"

#include <algorithm>
#include <span>
#include <type_traits>
#include <utility>

#include "codecs/zlib.h"

namespace corvale {

namespace {

constexpr std::uint8_t kMethodBase = 8;

// The values from index first on are turned into the magnitudes a body stores, measured, and
// turned back: no second list. Words wrap as two's complement, which is exact here: a zigzag or
// an offset from the smallest value always fits in 64 unsigned bits.
void zigzag_from(IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    values.visit_words([&](auto& w) {
      for (std::size_t i = first; i < w.size(); ++i) w[i] = zigzag_encode_word(w[i]);
    });
    return;
  }
  for (BigInt& x : values.big().subspan(first)) x.zigzag_in_place();
}

void unzigzag_from(IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    values.visit_words([&](auto& w) {
      for (std::size_t i = first; i < w.size(); ++i) w[i] = zigzag_decode_word(w[i]);
    });
    return;
  }
  for (BigInt& m : values.big().subspan(first)) m.unzigzag_in_place();
}

BigInt smallest_from(const IntegerList& values, std::size_t first) {
  if (!values.wide()) {
    return values.visit_words([&](const auto& w) {
      using S = std::make_signed_t<typename std::remove_reference_t<decltype(w)>::value_type>;
      S least = static_cast<S>(w[first]);
      for (std::size_t i = first + 1; i < w.size(); ++i) least = std::min(least, static_cast<S>(w[i]));
      return BigInt::from_i64(least);
    });
  }
  const std::span<const BigInt> rest = values.big().subspan(first);
  return *std::min_element(rest.begin(), rest.end());
}

void offset_from(IntegerList& values, std::size_t first, const BigInt& base, bool subtract) {
  if (!values.wide()) {
    // Packed words wrap in their own size: an offset from the smallest value always fits it.
    values.visit_words([&](auto& w) {
      using T = typename std::remove_reference_t<decltype(w)>::value_type;
      const auto b = static_cast<T>(base.to_i64());
      for (std::size_t i = first; i < w.size(); ++i) w[i] = static_cast<T>(subtract ? w[i] - b : w[i] + b);
    });
    return;
  }
  for (BigInt& x : values.big().subspan(first)) {
    if (subtract) {
      x -= base;
    } else {
      x += base;
    }
  }
}

}  // namespace

void CandidateChoice::offer(std::uint8_t method) {
  if (scratch_.size() > max_bytes_) return;
  // A later candidate must be strictly smaller to replace the kept one, so a stream that reaches
  // the kept one's size need not be written out.
  std::optional<std::uint64_t> size;
  if (!found_) {
    size = deflate_compress_fast(scratch_);
  } else if (size_ > 0) {
    size = deflate_compress_fast_within(scratch_, size_ - 1);
  }
  if (!size) return;
  found_ = true;
  size_ = *size;
  method_ = method;
  best_.swap(scratch_);
}

std::optional<DifferenceEncoding> choose_difference_encoding(IntegerList values, const DifferenceFraming& framing) {
  const std::size_t n = values.size();
  CandidateChoice choice(framing.max_bytes);
  // Each candidate is built straight into the choice's buffer, between its head and its tail.
  auto offer_layouts = [&](const std::string& head, std::size_t seeds, std::uint8_t flags) {
    for (const std::uint8_t layout : kLayoutsInOrder) {
      const auto method = static_cast<std::uint8_t>(flags | layout);
      std::string& bytes = choice.next();
      if (framing.method_byte_first) bytes.push_back(static_cast<char>(method));
      bytes += head;
      if (!append_number_list_body(values, seeds, layout, bytes)) continue;
      bytes += framing.tail;
      choice.offer(method);
    }
  };

  for (std::uint8_t d = 0; d <= 2; ++d) {
    if (d > 0) values = delta_encode_big(std::move(values));
    const std::size_t seeds = std::min<std::size_t>(d, n);
    std::string head;
    for (std::size_t i = 0; i < seeds; ++i) write_varint_big(zigzag_encode_big(values.value(i)), head);

    zigzag_from(values, seeds);
    offer_layouts(head, seeds, d);
    unzigzag_from(values, seeds);

    if (n > seeds) {
      const BigInt base = smallest_from(values, seeds);
      offset_from(values, seeds, base, true);
      write_varint_big(zigzag_encode_big(base), head);
      offer_layouts(head, seeds, static_cast<std::uint8_t>(d | kMethodBase));
      offset_from(values, seeds, base, false);
    }
  }
  if (!choice.found()) return std::nullopt;
  const std::uint8_t method = choice.method();
  return DifferenceEncoding{method, choice.take()};
}

}  // namespace corvale
