#include "codecs/number_list/number_list_proof.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvale {

namespace {

#if defined(__SSE2__)
// The 64 bytes at p, classed: one bit a byte in each mask.
struct ByteClasses {
  std::uint64_t digits = 0, minus = 0, lf = 0, cr = 0;

  explicit ByteClasses(const char* p) {
    const __m128i below = _mm_set1_epi8('0' - 1);
    const __m128i above = _mm_set1_epi8('9' + 1);
    for (int j = 0; j < 4; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * j));
      const auto bits = [&](__m128i match) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(match))) << (16 * j);
      };
      digits |= bits(_mm_and_si128(_mm_cmpgt_epi8(v, below), _mm_cmplt_epi8(v, above)));
      minus |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')));
      lf |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
      cr |= bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
    }
  }
};
#endif

}  // namespace

void LinesProof::add_blocks(const char* p, std::size_t n) {
  for (std::size_t at = 0; at < n; at += 64) add(p + at, ~std::uint64_t{0}, ~std::uint64_t{0});
}

bool LinesProof::finish(std::string_view last, std::size_t size) {
#if defined(__SSE2__)
  if (size < 3 || last.empty() || last.size() > 64 || last.back() == '-' || last.back() == '\r') return false;
  char block[64] = {};
  std::memcpy(block, last.data(), last.size());
  const std::uint64_t valid = last.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << last.size()) - 1;
  add(block, valid, valid >> 1);
  return bad_ == 0 && inner_endings_ != 0;
#else
  (void)last;
  (void)size;
  return false;
#endif
}

void LinesProof::add(const char* p, std::uint64_t valid, std::uint64_t inner) {
#if defined(__SSE2__)
  const ByteClasses classes(p);
  const std::uint64_t cr = crlf_ ? classes.cr : 0;
  const std::uint64_t prev_lf = classes.lf << 1 | after_lf_;
  const std::uint64_t prev_digit = classes.digits << 1 | after_digit_;
  const std::uint64_t prev_minus = classes.minus << 1 | after_minus_;
  const std::uint64_t prev_cr = cr << 1 | after_cr_;
  bad_ |= valid & ~(classes.digits | classes.minus | classes.lf | cr);
  bad_ |= classes.minus & ~prev_lf;
  bad_ |= valid & prev_minus & ~classes.digits;
  bad_ |= (crlf_ ? cr : classes.lf) & ~prev_digit;
  if (crlf_) bad_ |= valid & (classes.lf ^ prev_cr);
  inner_endings_ |= classes.lf & inner;
  after_lf_ = classes.lf >> 63;
  after_digit_ = classes.digits >> 63;
  after_minus_ = classes.minus >> 63;
  after_cr_ = cr >> 63;
#else
  (void)p;
  (void)valid;
  (void)inner;
#endif
}

bool proves_integer_lines(std::string_view text, bool crlf) {
  LinesProof proof(crlf);
  const std::size_t whole = text.empty() ? 0 : (text.size() - 1) / 64 * 64;
  proof.add_blocks(text.data(), whole);
  return proof.finish(text.substr(whole), text.size());
}

}  // namespace corvale
