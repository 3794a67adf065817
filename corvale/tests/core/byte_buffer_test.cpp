#include "core/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace corvale {
namespace {

TEST(ByteBuffer, GrowingKeepsTheBytesWritten) {
  ByteBuffer b;
  std::string expected;
  // Many small steps, then one large one past any doubling.
  for (int i = 0; i < 1000; ++i) {
    const std::size_t at = b.size();
    b.resize(at + 3);
    std::memcpy(b.data() + at, "abc", 3);
    expected += "abc";
  }
  const std::size_t at = b.size();
  b.resize(at + (1u << 20));
  std::memset(b.data() + at, 'z', 1u << 20);
  expected.append(1u << 20, 'z');
  EXPECT_TRUE(b == expected);
  b.resize(5);
  EXPECT_EQ(b.view(), "abcab");
}

TEST(ByteBuffer, TakesOverAStringAndHandsItBack) {
  std::string text(1000, 'q');
  const char* bytes = text.data();
  ByteBuffer b(std::move(text));
  EXPECT_EQ(b.data(), bytes);
  ByteBuffer moved(std::move(b));
  EXPECT_TRUE(b.empty());
  const std::string back = std::move(moved);
  EXPECT_EQ(back.data(), bytes);

  // Growing a taken-over string moves its bytes into the buffer's own block.
  ByteBuffer grown(std::string("12345"));
  grown.resize(7);
  std::memcpy(grown.data() + 5, "67", 2);
  EXPECT_EQ(grown.view(), "1234567");
  EXPECT_EQ(static_cast<std::string>(grown), "1234567");
}

struct AdvisedBlock {
  void* block = nullptr;
  std::size_t size = 0;
  int calls = 0;
};
AdvisedBlock g_advised;

TEST(ByteBuffer, AdvisesOnlyLargeBlocksAndEachTimeOneMoves) {
  g_advised = {};
  set_large_block_advice([](void* block, std::size_t size) noexcept {
    g_advised.block = block;
    g_advised.size = size;
    ++g_advised.calls;
  });
  ByteBuffer b(kLargeBlockBytes - 1);
  EXPECT_EQ(g_advised.calls, 0);
  b.resize(kLargeBlockBytes);
  EXPECT_EQ(g_advised.calls, 1);
  b.resize(3 * kLargeBlockBytes);
  EXPECT_EQ(g_advised.calls, 2);
  EXPECT_EQ(g_advised.block, b.data());
  EXPECT_EQ(g_advised.size, b.capacity());
  set_large_block_advice(nullptr);
}

}  // namespace
}  // namespace corvale
