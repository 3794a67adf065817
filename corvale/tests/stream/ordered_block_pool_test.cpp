// The ordered worker pool on its own, with stand-in blocks (numbers) and work that fails,
// faults or dawdles on chosen blocks. Run under ThreadSanitizer as well as natively.

#include "stream/ordered_block_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/expect_error.h"

namespace corvale {
namespace {

// What the main thread saw, in order: "p3" produce of block 3, "c3" its consume.
struct PoolLog {
  std::vector<std::string> events;
  std::vector<std::uint64_t> consumed;
};

// Produces blocks 0 to count - 1; work is the caller's; consume records.
template <class Work>
void run_blocks(PoolLog& run, unsigned workers, std::uint64_t count, const Work& work) {
  std::uint64_t next = 0;
  run_ordered_blocks<std::uint64_t, std::uint64_t>(
      workers,
      [&]() -> std::optional<std::uint64_t> {
        if (next == count) return std::nullopt;
        run.events.push_back("p" + std::to_string(next));
        return next++;
      },
      work,
      [&](std::uint64_t block) {
        run.events.push_back("c" + std::to_string(block));
        run.consumed.push_back(block);
      });
}

std::vector<std::uint64_t> first_blocks(std::uint64_t n) {
  std::vector<std::uint64_t> out;
  for (std::uint64_t i = 0; i < n; ++i) out.push_back(i);
  return out;
}

const unsigned kWorkerCounts[] = {1, 2, 3, 8};

TEST(OrderedBlockPool, AProducerThatEndsAtOnceConsumesNothing) {
  for (unsigned workers : kWorkerCounts) {
    PoolLog run;
    run_blocks(run, workers, 0, [](std::uint64_t b) { return b; });
    EXPECT_TRUE(run.events.empty()) << workers;
  }
}

TEST(OrderedBlockPool, ConsumesEveryBlockInIndexOrderWhateverOrderTheyFinishIn) {
  for (unsigned workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    PoolLog run;
    // Later blocks finish first: each block's work takes less time than the one before.
    run_blocks(run, workers, 40, [](std::uint64_t b) {
      std::this_thread::sleep_for(std::chrono::microseconds(50 * (40 - b)));
      return b;
    });
    EXPECT_EQ(run.consumed, first_blocks(40));
  }
}

// Blocks 0 to 2 finish in the order 2, 0, 1; they are consumed as 0, 1, 2.
TEST(OrderedBlockPool, ResultsFinishedAs201AreConsumedAs012) {
  std::mutex m;
  std::condition_variable cv;
  std::vector<std::uint64_t> finished;
  const auto finished_count = [&] {
    std::lock_guard lock(m);
    return finished.size();
  };
  PoolLog run;
  run_blocks(run, 3, 3, [&](std::uint64_t b) {
    std::unique_lock lock(m);
    const std::size_t turn = b == 2 ? 0 : b == 0 ? 1 : 2;
    cv.wait(lock, [&] { return finished.size() == turn; });
    finished.push_back(b);
    cv.notify_all();
    return b;
  });
  EXPECT_EQ(finished_count(), 3u);
  EXPECT_EQ(finished, (std::vector<std::uint64_t>{2, 0, 1}));
  EXPECT_EQ(run.consumed, (std::vector<std::uint64_t>{0, 1, 2}));
}

TEST(OrderedBlockPool, KeepsAtMostTwiceTheWorkersInFlight) {
  for (unsigned workers : {2u, 8u}) {
    SCOPED_TRACE(workers);
    PoolLog run;
    // Block 0 dawdles, so everything after it piles up as far as the pool allows.
    run_blocks(run, workers, 6 * workers, [](std::uint64_t b) {
      if (b == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return b;
    });
    EXPECT_EQ(run.consumed, first_blocks(6 * workers));
    const std::string produce_2n = "p" + std::to_string(2 * workers);
    std::int64_t in_flight = 0;
    bool block0_consumed = false;
    for (const std::string& e : run.events) {
      in_flight += e[0] == 'p' ? 1 : -1;
      EXPECT_LE(in_flight, 2 * static_cast<std::int64_t>(workers)) << e;
      if (e == "c0") block0_consumed = true;
      if (e == produce_2n) {
        EXPECT_TRUE(block0_consumed);
      }
    }
  }
}

TEST(OrderedBlockPool, ProducesNoFurtherAheadOfBusyWorkersThanAsked) {
  constexpr unsigned kWorkers = 4;
  for (unsigned waiting : {1u, 3u}) {
    SCOPED_TRACE(waiting);
    std::atomic<std::uint64_t> finished{0};
    std::uint64_t next = 0;
    std::uint64_t most_ahead = 0;
    std::vector<std::uint64_t> consumed;
    run_ordered_blocks<std::uint64_t, std::uint64_t>(
        kWorkers,
        [&]() -> std::optional<std::uint64_t> {
          if (next == 40) return std::nullopt;
          most_ahead = std::max(most_ahead, next - finished.load());
          return next++;
        },
        [&](std::uint64_t b) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2));
          ++finished;
          return b;
        },
        [&](std::uint64_t b) { consumed.push_back(b); }, waiting);
    EXPECT_EQ(consumed, first_blocks(40));
    // Before producing block n, at most workers + waiting - 1 earlier blocks are unfinished.
    EXPECT_LE(most_ahead, kWorkers + waiting - 1);
  }
}

TEST(OrderedBlockPool, ProducesOnlyWhenReadyWhileBlocksAreInFlight) {
  for (std::uint64_t most : {1u, 3u}) {
    SCOPED_TRACE(most);
    std::uint64_t next = 0;
    std::uint64_t in_flight = 0;
    std::uint64_t most_seen = 0;
    std::vector<std::uint64_t> consumed;
    // The first block's work waits until the pool has used all its room, so that whether it
    // ever does cannot depend on how fast the workers happen to be; a pool that never does lets
    // the wait end after a minute and fails below.
    std::atomic<std::uint64_t> produced{0};
    run_ordered_blocks<std::uint64_t, std::uint64_t>(
        8,
        [&]() -> std::optional<std::uint64_t> {
          if (next == 40) return std::nullopt;
          most_seen = std::max(most_seen, ++in_flight);
          produced.store(next + 1);
          return next++;
        },
        [&](std::uint64_t b) {
          const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
          while (b == 0 && produced.load() < most && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::yield();
          }
          return b;
        },
        [&](std::uint64_t b) {
          --in_flight;
          consumed.push_back(b);
        },
        kMaxWorkers, [&] { return in_flight < most; });
    EXPECT_EQ(consumed, first_blocks(40));
    EXPECT_EQ(most_seen, most);
  }
}

TEST(OrderedBlockPool, TheLowestFailingBlockIsReportedAfterEveryBlockBeforeIt) {
  for (unsigned workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    PoolLog run;
    // Block 3 fails at once; block 1 fails late, after block 3 has long failed.
    EXPECT_ERROR(run_blocks(run, workers, 30,
                            [](std::uint64_t b) {
                              if (b == 3) throw Error("block 3 is bad");
                              if (b == 1) {
                                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                                throw Error("block 1 is bad");
                              }
                              return b;
                            }),
                 "block 1 is bad");
    EXPECT_EQ(run.consumed, first_blocks(1));

    PoolLog single;
    EXPECT_ERROR(run_blocks(single, workers, 30,
                            [](std::uint64_t b) {
                              if (b == 5) throw Error("block 5 is bad");
                              return b;
                            }),
                 "block 5 is bad");
    EXPECT_EQ(single.consumed, first_blocks(5));
  }
}

TEST(OrderedBlockPool, AFailingProducerEndsTheRunWithoutWaitingForItsTurn) {
  for (unsigned workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    std::vector<std::uint64_t> consumed;
    std::uint64_t next = 0;
    std::atomic<bool> producer_failed{false};
    EXPECT_ERROR((run_ordered_blocks<std::uint64_t, std::uint64_t>(
                     workers,
                     [&]() -> std::optional<std::uint64_t> {
                       if (next == 2) {
                         producer_failed = true;
                         throw Error("cannot read");
                       }
                       return next++;
                     },
                     [&](std::uint64_t b) {
                       if (workers >= 2) {
                         while (!producer_failed) std::this_thread::yield();
                       }
                       return b;
                     },
                     [&](std::uint64_t b) { consumed.push_back(b); })),
                 "cannot read");
    // With workers, block 0 is still being coded when the producer fails.
    if (workers >= 2) {
      EXPECT_TRUE(consumed.empty());
    }
  }
}

TEST(OrderedBlockPool, AFailingConsumerEndsTheRun) {
  for (unsigned workers : kWorkerCounts) {
    SCOPED_TRACE(workers);
    std::uint64_t next = 0;
    std::vector<std::uint64_t> consumed;
    EXPECT_ERROR((run_ordered_blocks<std::uint64_t, std::uint64_t>(
                     workers, [&]() -> std::optional<std::uint64_t> { return next++; },
                     [](std::uint64_t b) { return b; },
                     [&](std::uint64_t b) {
                       if (b == 4) throw Error("disk full");
                       consumed.push_back(b);
                     })),
                 "disk full");
    EXPECT_EQ(consumed, first_blocks(4));
  }
}

// A fault (anything but Error) thrown by work: rethrown on the calling thread, never a hang.
void expect_fault(unsigned workers, std::uint64_t blocks, bool (*faults)(std::uint64_t)) {
  PoolLog run;
  try {
    run_blocks(run, workers, blocks, [faults](std::uint64_t b) {
      if (faults(b)) throw std::logic_error("injected fault");
      return b;
    });
    ADD_FAILURE() << "no fault reported";
  } catch (const Error& e) {
    ADD_FAILURE() << "a fault reported as a message: " << e.what();
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "injected fault");
  }
  // Whatever was consumed came in order and stopped short of the end.
  EXPECT_EQ(run.consumed, first_blocks(run.consumed.size()));
  EXPECT_LT(run.consumed.size(), blocks);
}

TEST(OrderedBlockPool, AWorkerFaultEndsTheRunAsAFault) {
  for (unsigned workers : {2u, 8u}) {
    SCOPED_TRACE(workers);
    // One worker fails, on one block; the others go on until the run ends.
    expect_fault(workers, 200, [](std::uint64_t b) { return b == 7; });
    expect_fault(workers, 200, [](std::uint64_t b) { return b == 0; });
    // Every worker fails, on its first block: nobody is left to take jobs or send results.
    expect_fault(workers, 200, [](std::uint64_t) { return true; });
  }
}

TEST(OrderedBlockPool, AFaultOutranksAnErrorOfTheSameRun) {
  // Block 0 fails only once block 1 has faulted, so the fault is known before the run ends.
  std::atomic<bool> faulted{false};
  for (unsigned workers : {2u, 8u}) {
    faulted = false;
    PoolLog run;
    EXPECT_THROW(run_blocks(run, workers, 10,
                            [&](std::uint64_t b) -> std::uint64_t {
                              if (b == 1) {
                                faulted = true;
                                throw std::logic_error("injected fault");
                              }
                              if (b == 0) {
                                while (!faulted) std::this_thread::yield();
                                throw Error("block 0 is bad");
                              }
                              return b;
                            }),
                 std::logic_error);
  }
}

}  // namespace
}  // namespace corvale
