#pragma once
// The compressor's promise on any input: it refuses it with a message, or its archive restores
// the input exactly under the input's own length as limit (so verification never fails on an
// input it accepts), and compressing again gives the same bytes.

#include <cstddef>
#include <string>
#include <string_view>

#include "archive/compress.h"
#include "archive/container.h"
#include "fuzz_support.h"

namespace corvale::fuzz {

inline constexpr std::size_t kMaxRoundTripInput = 65536;

inline void check_round_trip(std::string_view input) {
  if (input.size() > kMaxRoundTripInput) return;
  std::string archive;
  try {
    archive = compress_best_archive(input);
  } catch (const Error&) {
    return;
  }
  std::string restored;
  try {
    restored = decode_archive(archive, input.size());
  } catch (const Error& e) {
    std::fprintf(stderr, "an accepted input's archive fails to decode: %s\n", e.what());
    FUZZ_CHECK(!"an accepted input restores");
  }
  FUZZ_CHECK(restored == input);
  FUZZ_CHECK(compress_best_archive(input) == archive);
}

}  // namespace corvale::fuzz
