// The credit that bounds what blocks between reader and writer hold, by bytes and by count.

#include "stream/block_credit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace corvale {
namespace {

TEST(BlockCredit, LetsBlocksThroughWhileBytesAndCountFit) {
  BlockCredit credit(100, 3);
  EXPECT_TRUE(credit.fits(100));
  EXPECT_TRUE(credit.take(60));
  EXPECT_TRUE(credit.fits(40));
  EXPECT_FALSE(credit.fits(41));
  EXPECT_TRUE(credit.take(30));
  EXPECT_TRUE(credit.take(10));
  EXPECT_FALSE(credit.fits(0)) << "three blocks are the most";
  credit.give_back(60);
  EXPECT_TRUE(credit.fits(60));
  EXPECT_FALSE(credit.fits(61));
}

TEST(BlockCredit, OneBlockAlwaysGoesThrough) {
  BlockCredit credit(100, 2);
  EXPECT_TRUE(credit.fits(~std::uint64_t{0}));
  EXPECT_TRUE(credit.take(1000));
  EXPECT_FALSE(credit.fits(1));
  credit.give_back(1000);
  EXPECT_TRUE(credit.fits(100));
}

TEST(BlockCredit, ATakeThatDoesNotFitWaitsForCreditGivenBack) {
  BlockCredit credit(100, 4);
  ASSERT_TRUE(credit.take(80));
  std::atomic<bool> given_back{false};
  std::atomic<bool> taken_after_give_back{false};
  std::thread taker([&] {
    const bool taken = credit.take(50);
    taken_after_give_back = taken && given_back.load();
  });
  given_back = true;
  credit.give_back(80);
  taker.join();
  EXPECT_TRUE(taken_after_give_back);
  EXPECT_FALSE(credit.fits(51));
}

TEST(BlockCredit, CancelWakesAWaitingTakeEmptyHanded) {
  BlockCredit credit(100, 4);
  ASSERT_TRUE(credit.take(100));
  std::atomic<int> outcome{-1};
  std::thread taker([&] { outcome = credit.take(1) ? 1 : 0; });
  credit.cancel();
  taker.join();
  EXPECT_EQ(outcome.load(), 0);
  EXPECT_FALSE(credit.take(0));
}

}  // namespace
}  // namespace corvale
