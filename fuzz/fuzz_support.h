#pragma once
// What every fuzz target shares: a check that aborts (so that libFuzzer and the replay runner
// both count it as a crash), the output limit picked by an input byte, a watch on the heap
// while a decoder runs, and the two promises every decoder keeps.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/error.h"

namespace corvale::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(cond) \
  do {                   \
    if (!(cond)) ::corvale::fuzz::fail(__FILE__, __LINE__, #cond); \
  } while (0)

inline std::string_view as_bytes(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The output limits a target tries, chosen by the low four bits of a byte: the edges (nothing,
// one byte, a few), typical sizes, and up to 4 MiB. Larger outputs are legal but slow the
// fuzzer down (a formula may fill its limit with the digits of one huge number); the hostile
// archives test them instead.
inline std::uint64_t limit_from_byte(std::uint8_t b) {
  static constexpr std::uint64_t kLimits[16] = {
      0, 1, 2, 3, 7, 16, 100, 255, 1000, 4096, 65'536, 100'000, 1 << 20, 2 << 20, 3'000'001, 4 << 20};
  return kLimits[b & 15];
}

// The most heap a decode under limit may hold at once beyond what was there before it: twice
// the limit and 64 MiB, the house aim for any archive, plus the input itself a few times
// (a decoder may copy or inflate the bytes it is given).
inline std::uint64_t heap_bound(std::uint64_t limit, std::size_t input_size) {
  return 2 * limit + (std::uint64_t{64} << 20) + 4 * static_cast<std::uint64_t>(input_size);
}

// The heap's growth while one watch lives, measured through the sanitizer allocator's hooks.
// In a build without them (the plain native replay) nothing is measured and peak() is 0.
class HeapWatch {
 public:
  HeapWatch();
  ~HeapWatch();
  HeapWatch(const HeapWatch&) = delete;
  HeapWatch& operator=(const HeapWatch&) = delete;
  std::uint64_t peak() const;
  static bool available();
};

// The messages of guards that compare something with the limit itself: a chunk width wider
// than the limit is refused as invalid before any chunk is read, and so is a table column's
// decimal scale above the limit (a scale may exceed its column's longest fraction when every
// value drops digits, so a success can use a scale above its own output's size).
inline bool is_limit_message(std::string_view message) {
  return message == "Output exceeds decompression limit" || message == "Numeric payload exceeds decompression limit" ||
         message == "Invalid chunk width" || message == "Invalid column scale";
}

// Runs decode(limit) and, when it succeeds, checks that it kept within limit and within the heap
// bound, and that the same bytes come back at a limit equal to their size. There a few payloads
// that no encoder writes may fail instead, but only with a limit message: some guards weigh what
// a payload could produce (zero bytes a base94 length marker adds, an inner body twice the
// output) rather than what it does. A different message or different bytes would mean that the
// limit changed what was decoded. decode must throw corvale::Error for bad input; anything else
// escapes and ends the run as a crash.
template <class Decode>
void check_decoder(Decode&& decode, std::uint64_t limit, std::size_t input_size) {
  std::string out;
  std::uint64_t peak = 0;
  try {
    HeapWatch watch;
    out = decode(limit);
    peak = watch.peak();
  } catch (const Error&) {
    return;
  }
  FUZZ_CHECK(out.size() <= limit);
  FUZZ_CHECK(peak <= heap_bound(limit, input_size));
  if (out.size() == limit) return;
  std::string again;
  try {
    again = decode(out.size());
  } catch (const Error& e) {
    if (is_limit_message(e.what())) return;
    std::fprintf(stderr, "decoded %zu bytes under limit %llu, but under limit %zu: %s\n", out.size(),
                 static_cast<unsigned long long>(limit), out.size(), e.what());
    FUZZ_CHECK(!"a success repeats at a limit equal to its output");
  }
  FUZZ_CHECK(again == out);
}

}  // namespace corvale::fuzz
