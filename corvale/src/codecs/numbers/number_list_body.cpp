#include "codecs/numbers/number_list_body.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <type_traits>
#include <utility>

namespace corvale {

namespace {

constexpr unsigned kMaxPlaneWidth = 32;
// A piece of values stops after a value longer than this, so that one huge value cannot be
// followed by thousands of sums as large as itself in the same piece.
constexpr std::uint64_t kLongValueBytes = 64;

unsigned byte_length(std::uint64_t v) { return v == 0 ? 0 : (64 - __builtin_clzll(v) + 7) / 8; }

// Appends to a string through a small buffer, so that each byte is written to its place once
// where a resize would first fill the whole range with zeros. The caller reserves the total.
class ChunkedAppend {
 public:
  explicit ChunkedAppend(std::string& out) : out_(out) {}
  // Room for k bytes (at most the buffer), of which the caller then keeps some with advance().
  unsigned char* room(std::size_t k) {
    if (used_ + k > sizeof buffer_) flush();
    return buffer_ + used_;
  }
  void advance(std::size_t k) { used_ += k; }
  void flush() {
    out_.append(reinterpret_cast<const char*>(buffer_), used_);
    used_ = 0;
  }

 private:
  std::string& out_;
  std::size_t used_ = 0;
  unsigned char buffer_[4096];
};

// How many 7-bit steps past the first a word of up to four bytes reaches: its varint's length
// less one. Counted with comparisons, which vectorise, and not with a bit scan, which is slow on
// some processors.
template <class T>
unsigned varint_steps(T v) {
  static_assert(sizeof(T) <= 4);
  unsigned steps = v >= T{1} << 7;
  if constexpr (sizeof(T) >= 2) steps += v >= T{1} << 14;
  if constexpr (sizeof(T) == 4) steps += (v >= T{1} << 21) + (v >= T{1} << 28);
  return steps;
}

template <class T>
std::size_t varints_size(const T* values, std::size_t n) {
  std::size_t size = n;
  for (std::size_t i = 0; i < n; ++i) {
    if constexpr (sizeof(T) <= 4) {
      size += varint_steps(values[i]);
    } else {
      size += varint_size(values[i]) - 1;
    }
  }
  return size;
}

template <class T>
void append_varints(const T* values, std::size_t n, std::string& out) {
  // Sized first, so that the string grows once.
  out.reserve(out.size() + varints_size(values, n));
  ChunkedAppend chunks(out);
  // A block of values at a time through a local pointer: stores through the buffer's own would
  // make the compiler reload its members after each byte.
  constexpr std::size_t kBlock = 256;
  for (std::size_t first = 0; first < n; first += kBlock) {
    const std::size_t end = std::min(n, first + kBlock);
    // The longest varint of a T for every value, and 8 spare for the last whole-word store.
    constexpr std::size_t kLongest = (8 * sizeof(T) + 6) / 7;
    unsigned char* const block = chunks.room(kLongest * kBlock + 8);
    unsigned char* p = block;
    for (std::size_t i = first; i < end; ++i) {
      const std::uint64_t v = values[i];
      if constexpr (sizeof(T) <= 4) {
        // At most five groups of 7 bits: spread over the bytes of a word, the continuation bit
        // set on all but the last, and stored whole; no branch on the value's length.
        const unsigned length = 1 + varint_steps(values[i]);
        const std::uint64_t groups = (v & 0x7F) | (v >> 7 & 0x7F) << 8 | (v >> 14 & 0x7F) << 16 |
                                     (v >> 21 & 0x7F) << 24 | (v >> 28) << 32;
        const std::uint64_t continued = ((std::uint64_t{1} << (8 * (length - 1))) - 1) & 0x80808080;
        const std::uint64_t word = groups | continued;
        std::memcpy(p, &word, 8);
        p += length;
      } else {
        // Full words keep a loop over the bytes: on lists of short and of long values alike it
        // ran faster than spreading up to ten groups.
        std::uint64_t rest = v;
        while (rest >= 0x80) {
          *p++ = static_cast<unsigned char>(rest | 0x80);
          rest >>= 7;
        }
        *p++ = static_cast<unsigned char>(rest);
      }
    }
    chunks.advance(static_cast<std::size_t>(p - block));
  }
  chunks.flush();
}

template <class T>
void append_byte_planes(const T* values, std::size_t n, std::string& out) {
  T all_bits = 0;
  for (std::size_t i = 0; i < n; ++i) all_bits |= values[i];
  const unsigned width = std::max(1u, byte_length(all_bits));
  out.reserve(out.size() + 1 + width * n);
  out.push_back(static_cast<char>(width));
  ChunkedAppend chunks(out);
  for (unsigned j = 0; j < width; ++j) {
    const unsigned shift = 8 * j;
    for (std::size_t i = 0; i < n;) {
      const std::size_t k = std::min<std::size_t>(n - i, 1024);
      unsigned char* p = chunks.room(k);
      for (std::size_t m = 0; m < k; ++m) p[m] = static_cast<unsigned char>(values[i + m] >> shift);
      chunks.advance(k);
      i += k;
    }
  }
  chunks.flush();
}

// Byte planes of values of which at least one needs more than 64 bits; none when one needs more
// than 32 bytes.
bool append_big_byte_planes(std::span<const BigInt> values, std::string& out) {
  const std::size_t n = values.size();
  std::size_t width = 0;
  for (const BigInt& v : values) width = std::max(width, (v.bit_length() + 7) / 8);
  if (width > kMaxPlaneWidth) return false;
  const std::size_t start = out.size();
  out.resize(start + 1 + width * n, '\0');
  out[start] = static_cast<char>(width);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string le = values[i].to_bytes_le();
    for (std::size_t j = 0; j < le.size(); ++j) out[start + 1 + j * n + i] = le[j];
  }
  return true;
}

template <class T>
bool append_word_body(const T* values, std::size_t n, std::uint8_t layout, std::string& out) {
  switch (layout) {
    case kLayoutVarints:
      append_varints(values, n, out);
      return true;
    case kLayoutBytePlanes:
      append_byte_planes(values, n, out);
      return true;
    default:
      if (n == 0) return false;
      encode_entropy_body(values, n, out);
      return true;
  }
}

}  // namespace

bool append_number_list_body(const IntegerList& magnitudes, std::size_t first, std::uint8_t layout, std::string& out) {
  const std::size_t n = magnitudes.size() - first;
  if (magnitudes.wide()) {
    const std::span<const BigInt> big = magnitudes.big().subspan(first);
    const bool fit = std::all_of(big.begin(), big.end(), [](const BigInt& v) { return v.fits_u64(); });
    if (!fit) {
      if (layout == kLayoutVarints) {
        for (const BigInt& v : big) write_varint_big(v, out);
        return true;
      }
      return layout == kLayoutBytePlanes && append_big_byte_planes(big, out);
    }
    // A wide list whose values here all fit in 64 bits is coded like a narrow one.
    std::vector<std::uint64_t> words;
    words.reserve(n);
    for (const BigInt& v : big) words.push_back(v.to_u64());
    return append_word_body(words.data(), n, layout, out);
  }
  // Packed words are coded as they are: the body depends only on the values.
  return magnitudes.visit_words([&](const auto& w) { return append_word_body(w.data() + first, n, layout, out); });
}

std::vector<LayoutCandidate> encode_number_list_candidates(const IntegerList& magnitudes) {
  std::vector<LayoutCandidate> candidates;
  for (const std::uint8_t layout : kLayoutsInOrder) {
    LayoutCandidate candidate{layout, {}};
    if (append_number_list_body(magnitudes, 0, layout, candidate.bytes)) candidates.push_back(std::move(candidate));
  }
  return candidates;
}

NumberListBodyReader::NumberListBodyReader(ByteCursor& cursor, std::uint8_t method, std::uint64_t count)
    : count_(count) {
  if (method & kLayoutBytePlanes) {
    if (method >= 16) throw Error(kInvalidLayout);
    layout_ = kLayoutBytePlanes;
    width_ = cursor_take_byte(cursor);
    if (width_ == 0 || width_ > kMaxPlaneWidth) throw Error(kInvalidBytePlaneWidth);
    if (count > cursor.remaining() / width_) throw Error(kCursorOutOfBytes);
    data_ = reinterpret_cast<const unsigned char*>(cursor_take_bytes(cursor, width_ * count).data());
    return;
  }
  if (method >= 16) {
    layout_ = kLayoutEntropy;
    entropy_.emplace(cursor, count);
    return;
  }
  // Varints: find where the body ends, with the messages a reader taking them one by one gives.
  layout_ = kLayoutVarints;
  data_ = cursor.here();
  const std::uint64_t available = cursor.remaining();
  std::uint64_t end = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const VarintScan s = scan_varint(data_ + end, available - end, 0);
    end += s.length;
    if (s.fault != VarintFault::None) {
      cursor.pos += end;
      throw Error(cursor_varint_fault_message(s.fault));
    }
  }
  size_ = end;
  cursor.pos += end;
}

void NumberListBodyReader::rewind() {
  next_ = 0;
  pos_ = 0;
  if (entropy_) entropy_->rewind();
}

std::size_t NumberListBodyReader::read(IntegerList& out, std::size_t max) {
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(max, left()));
  if (n == 0) return 0;
  if (layout_ == kLayoutVarints) {
    const std::size_t done = read_varints(out, n);
    next_ += done;
    return done;
  }
  if (layout_ == kLayoutEntropy) {
    read_entropy(out, n);
  } else {
    read_byte_planes(out, n);
  }
  next_ += n;
  return n;
}

std::size_t NumberListBodyReader::read_varints(IntegerList& out, std::size_t n) {
  // Every varint was checked when the body was opened. Those of up to nine bytes go straight
  // into the words; a longer one drops to the loop below.
  std::size_t done = 0;
  if (!out.wide()) {
    std::vector<std::uint64_t>& words = out.words();
    const std::size_t old = words.size();
    words.resize(old + n);
    std::uint64_t* w = words.data() + old;
    for (; done < n; ++done) {
      const VarintScan s = scan_varint(data_ + pos_, size_ - pos_, 0);
      if (s.length > 9) break;
      pos_ += s.length;
      w[done] = s.value;
    }
    words.resize(old + done);
  }
  while (done < n) {
    const VarintScan s = scan_varint(data_ + pos_, size_ - pos_, 0);
    const unsigned char* start = data_ + pos_;
    pos_ += s.length;
    ++done;
    if (s.length < 10 || (s.length == 10 && start[9] <= 1)) {
      out.push_word(s.value);
      continue;
    }
    out.push_back(BigInt::from_base128_le(start, s.length));
    if (s.length > kLongValueBytes) break;
  }
  return done;
}

void NumberListBodyReader::read_entropy(IntegerList& out, std::size_t n) {
  if (!out.wide()) {
    std::vector<std::uint64_t>& words = out.words();
    const std::size_t old = words.size();
    words.resize(old + n);
    entropy_->read(words.data() + old, n);
  } else {
    std::uint64_t piece[256];
    for (std::size_t done = 0; done < n;) {
      const std::size_t k = std::min(n - done, std::size(piece));
      entropy_->read(piece, k);
      for (std::size_t i = 0; i < k; ++i) out.push_word(piece[i]);
      done += k;
    }
  }
}

void NumberListBodyReader::read_byte_planes(IntegerList& out, std::size_t n) {
  // Value i is byte i of every plane, plane 0 the lowest.
  const std::uint64_t first = next_;
  const unsigned narrow_width = std::min(width_, 8u);
  const bool wide_planes = width_ > 8;
  if (!out.wide() && !wide_planes) {
    std::vector<std::uint64_t>& words = out.words();
    const std::size_t old = words.size();
    words.resize(old + n, 0);
    std::uint64_t* v = words.data() + old;
    for (unsigned j = 0; j < narrow_width; ++j) {
      const unsigned char* plane = data_ + j * count_ + first;
      const unsigned shift = 8 * j;
      for (std::size_t i = 0; i < n; ++i) v[i] |= static_cast<std::uint64_t>(plane[i]) << shift;
    }
  } else {
    unsigned char le[kMaxPlaneWidth];
    for (std::size_t i = 0; i < n; ++i) {
      bool beyond_64_bits = false;
      for (unsigned j = 0; j < width_; ++j) {
        le[j] = data_[j * count_ + first + i];
        beyond_64_bits |= j >= 8 && le[j] != 0;
      }
      if (beyond_64_bits) {
        out.push_back(BigInt::from_bytes_le(le, width_));
      } else {
        std::uint64_t v = 0;
        for (unsigned j = 0; j < narrow_width; ++j) v |= static_cast<std::uint64_t>(le[j]) << (8 * j);
        out.push_word(v);
      }
    }
  }
}

IntegerList decode_number_list_body(ByteCursor& cursor, std::uint8_t method, std::uint64_t count) {
  NumberListBodyReader reader(cursor, method, count);
  IntegerList out(Signedness::Unsigned);
  while (reader.read(out, 4096) > 0) {
  }
  return out;
}

BigInt zigzag_encode_big(const BigInt& x) { return BigInt::zigzag(x); }
BigInt zigzag_decode_big(const BigInt& m) { return BigInt::unzigzag(m); }

IntegerList delta_encode_big(IntegerList values) {
  const std::size_t n = values.size();
  if (!values.wide() && values.word_bytes() < 8) {
    // Packed words: a difference that leaves their size repacks the list one size up, where
    // every difference of two of its values fits.
    const bool fits = values.visit_words([&](const auto& w) {
      using S = std::make_signed_t<typename std::remove_reference_t<decltype(w)>::value_type>;
      for (std::size_t i = 1; i < n; ++i) {
        S d;
        if (__builtin_sub_overflow(static_cast<S>(w[i]), static_cast<S>(w[i - 1]), &d)) return false;
      }
      return true;
    });
    if (!fits) values.repack(values.word_bytes() * 2);
    if (values.word_bytes() < 8) {
      values.visit_words([&](auto& w) {
        using T = typename std::remove_reference_t<decltype(w)>::value_type;
        for (std::size_t i = n; i-- > 1;) w[i] = static_cast<T>(w[i] - w[i - 1]);
      });
      return values;
    }
  }
  if (!values.wide()) {
    std::vector<std::uint64_t>& w = values.words();
    bool fits = true;
    for (std::size_t i = 1; i < n && fits; ++i) {
      std::int64_t d;
      fits = !__builtin_sub_overflow(static_cast<std::int64_t>(w[i]), static_cast<std::int64_t>(w[i - 1]), &d);
    }
    if (fits) {
      // Two's-complement words: wrapping subtraction gives the exact differences.
      for (std::size_t i = n; i-- > 1;) w[i] -= w[i - 1];
      return values;
    }
    values.widen();
  }
  const std::span<BigInt> big = values.big();
  for (std::size_t i = n; i-- > 1;) big[i] -= big[i - 1];
  return values;
}

void prefix_sum_in_place(IntegerList& values, BigInt& carry, MagnitudeBudget* budget) {
  const std::size_t n = values.size();
  if (n == 0) return;
  std::size_t i = 0;
  if (!values.wide() && carry.fits_i64()) {
    std::vector<std::uint64_t>& w = values.words();
    std::int64_t sum = carry.to_i64();
    for (; i < n; ++i) {
      std::int64_t next;
      if (__builtin_add_overflow(sum, static_cast<std::int64_t>(w[i]), &next)) break;
      sum = next;
      w[i] = static_cast<std::uint64_t>(sum);
    }
    carry = BigInt::from_i64(sum);
    if (i == n) return;
    // A sum left 64 bits: the rest of the list goes on in big integers.
  }
  values.widen();
  const std::span<BigInt> big = values.big();
  for (; i < n; ++i) {
    big[i] += i == 0 ? carry : big[i - 1];
    if (budget != nullptr) budget->charge(big[i]);
  }
  carry = big[n - 1];
}

void prefix_sum_in_place(IntegerList& values) {
  BigInt carry;
  prefix_sum_in_place(values, carry);
}

void collect_zigzag_decoded_bigints(IntegerList& out, const IntegerList& magnitudes) {
  if (magnitudes.wide()) {
    for (const BigInt& m : magnitudes.big()) {
      BigInt& v = out.append_slot();
      v = m;
      v.unzigzag_in_place();
    }
    return;
  }
  if (out.wide()) {
    for (std::uint64_t m : magnitudes.words()) out.push_word(static_cast<std::uint64_t>(zigzag_decode_u64(m)));
    return;
  }
  const std::vector<std::uint64_t>& m = magnitudes.words();
  std::vector<std::uint64_t>& w = out.words();
  const std::size_t old = w.size();
  w.resize(old + m.size());
  for (std::size_t i = 0; i < m.size(); ++i) w[old + i] = static_cast<std::uint64_t>(zigzag_decode_u64(m[i]));
}

void collect_bigints_offset_by_base(IntegerList& out, const IntegerList& magnitudes, const BigInt& base,
                                    MagnitudeBudget* budget) {
  if (!magnitudes.wide() && base.fits_i64()) {
    const std::int64_t b = base.to_i64();
    const std::vector<std::uint64_t>& m = magnitudes.words();
    // Every base + m fits when the largest m does (m is never negative): at most this much.
    const std::uint64_t room = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) -
                               static_cast<std::uint64_t>(b);
    if (out.wide()) {
      const std::uint64_t largest = m.empty() ? 0 : *std::max_element(m.begin(), m.end());
      if (largest <= room) {
        for (std::uint64_t x : m) out.push_word(static_cast<std::uint64_t>(b) + x);
        return;
      }
    } else {
      // One pass that adds and ORs the magnitudes: the OR is at least the largest, and only
      // when it leaves no room is the largest itself sought.
      std::vector<std::uint64_t>& w = out.words();
      const std::size_t old = w.size();
      w.resize(old + m.size());
      std::uint64_t any = 0;
      for (std::size_t i = 0; i < m.size(); ++i) {
        w[old + i] = static_cast<std::uint64_t>(b) + m[i];
        any |= m[i];
      }
      if (any <= room || *std::max_element(m.begin(), m.end()) <= room) return;
      w.resize(old);
    }
  }
  // Built in the list's own slots, whose storage earlier pieces already grew.
  for (std::size_t i = 0; i < magnitudes.size(); ++i) {
    BigInt& v = out.append_slot();
    v = base;
    if (magnitudes.wide()) {
      v += magnitudes.big()[i];
    } else {
      v += magnitudes.words()[i];
    }
    if (budget != nullptr) budget->charge(v);
  }
}

}  // namespace corvale
