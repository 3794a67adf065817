#include "codecs/candidate_choice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "codecs/zlib.h"

namespace corvale {
namespace {

// Random sequences drawn from a small pool, so that equal sizes (the same bytes offered again,
// or different bytes that deflate alike) come often: the first strictly smallest must win, as
// when every candidate is measured whole.
TEST(CandidateChoice, KeepsTheFirstStrictlySmallestAsAPlainMeasurementWould) {
  std::mt19937_64 rng(17);
  std::vector<std::string> pool;
  for (int i = 0; i < 24; ++i) {
    std::string bytes;
    const std::size_t n = rng() % 3000;
    const unsigned spread = 1 + static_cast<unsigned>(rng() % 200);
    for (std::size_t j = 0; j < n; ++j) bytes.push_back(static_cast<char>(rng() % spread));
    pool.push_back(std::move(bytes));
  }
  std::vector<std::uint64_t> sizes;
  for (const std::string& bytes : pool) sizes.push_back(deflate_compress_fast(bytes));

  for (int round = 0; round < 300; ++round) {
    const std::uint64_t cap = (round % 3 == 0) ? 1500 : UINT64_MAX;
    CandidateChoice choice(cap);
    std::size_t expected = pool.size();
    std::uint8_t expected_method = 0;
    const int offers = 1 + static_cast<int>(rng() % 12);
    for (int k = 0; k < offers; ++k) {
      const std::size_t pick = rng() % pool.size();
      choice.next() = pool[pick];
      choice.offer(static_cast<std::uint8_t>(k));
      if (pool[pick].size() > cap) continue;
      if (expected == pool.size() || sizes[pick] < sizes[expected]) {
        expected = pick;
        expected_method = static_cast<std::uint8_t>(k);
      }
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(choice.found(), expected != pool.size());
    if (!choice.found()) continue;
    EXPECT_EQ(choice.method(), expected_method);
    EXPECT_EQ(choice.take(), pool[expected]);
  }
}

}  // namespace
}  // namespace corvale
