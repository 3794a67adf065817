#pragma once
// The one way the block pipelines share their blocks out to worker threads: the main thread
// produces blocks in input order, the workers code them in whatever order they finish, and the
// main thread consumes the results strictly in input order. So the output depends neither on the
// number of workers nor on timing, and memory stays bounded by 2N blocks in flight.
//
// Failures:
// - produce or consume throwing ends the run at once with that exception;
// - work throwing Error gives that block's message, which ends the run when the block's turn
//   comes, so of several failing blocks the lowest index is reported and every block before it
//   has been consumed;
// - anything else thrown in a worker is an internal fault: the worker reports it at once, out
//   of turn, the run ends, and the fault is rethrown on the main thread, whatever else failed;
// - a worker thread that cannot be started is an internal fault too (std::system_error).
// On every way out both channels are closed before the workers are joined, so neither side can
// be left waiting for the other, and no thread outlives the call.

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "core/error.h"
#include "stream/channel.h"

namespace corvale {

inline constexpr const char kWorkerThreadStopped[] = "Worker thread stopped";

// A block on its way to a worker; index counts blocks in input order from 0.
template <class Bytes>
struct BlockJob {
  std::uint64_t index;
  Bytes bytes;
};

// The worker fault itself travels separately; this only wakes the main thread.
struct WorkerFault {};

template <class Bytes>
struct BlockResult {
  std::uint64_t index;
  std::variant<Bytes, std::string, WorkerFault> outcome;  // result, the block's message, fault
};

// The most workers a pool runs: as many threads as the command line allows.
inline constexpr unsigned kMaxWorkers = 256;

// The worker count for a thread count the user asked for: 0 counts as 1, and no more than
// the command line allows.
inline unsigned pool_worker_count(std::uint64_t threads) {
  return static_cast<unsigned>(std::min<std::uint64_t>(threads, kMaxWorkers));
}

namespace pool_detail {

template <class Job, class Result, class Work>
void run_worker(Channel<BlockJob<Job>>& jobs, Channel<BlockResult<Result>>& results, const Work& work,
                std::exception_ptr& fault) noexcept {
  std::uint64_t index = 0;
  try {
    while (std::optional<BlockJob<Job>> job = jobs.receive()) {
      index = job->index;
      BlockResult<Result> result{index, {}};
      try {
        result.outcome.template emplace<0>(work(std::move(job->bytes)));
      } catch (const Error& e) {
        result.outcome.template emplace<1>(e.what());
      }
      job.reset();
      if (!results.send(std::move(result))) break;  // the main thread has stopped listening
    }
  } catch (...) {
    fault = std::current_exception();
    try {
      results.send(BlockResult<Result>{index, WorkerFault{}});
    } catch (...) {
      // Not even the wake-up could be sent (memory ran out): the main thread might wait for
      // this block for ever, so end the process as an internal fault here and now.
      std::terminate();
    }
  }
  jobs.drop_receiver();
  results.drop_sender();
}

}  // namespace pool_detail

// produce: () -> std::optional<Job>, nullopt at the end; main thread only.
// work: (Job&&) -> Result; called on several workers at once, so it and all it reads must be
//   safe to share.
// consume: (Result&&) -> void, strictly in index order; main thread only.
// waiting_jobs: the most jobs produced ahead for workers that are all busy (at least 1, at most
//   workers). A pipeline whose jobs are large and cheap to make keeps it small, so that memory
//   holds few blocks nobody works on yet.
// ready: () -> bool, asked on the main thread before each produce while blocks are in flight;
//   false holds producing back until a result has been consumed. A pipeline whose blocks each
//   reserve memory until they are consumed answers from what is still free. With nothing in
//   flight produce is called whatever it answers, so the run always moves on.
// With fewer than 2 workers everything runs inline on the calling thread, one block at a time.
struct AlwaysReady {
  bool operator()() const { return true; }
};

template <class Job, class Result, class Produce, class Work, class Consume, class Ready = AlwaysReady>
void run_ordered_blocks(unsigned workers, Produce&& produce, const Work& work, Consume&& consume,
                        unsigned waiting_jobs = kMaxWorkers, Ready&& ready = Ready{}) {
  if (workers < 2) {
    while (std::optional<Job> job = produce()) consume(work(std::move(*job)));
    return;
  }

  Channel<BlockJob<Job>> jobs(workers, /*senders=*/1, /*receivers=*/0);
  Channel<BlockResult<Result>> results(Channel<BlockResult<Result>>::kUnbounded, /*senders=*/0, /*receivers=*/1);
  std::vector<std::exception_ptr> faults(workers);
  std::vector<std::thread> threads;
  threads.reserve(workers);
  std::map<std::uint64_t, decltype(BlockResult<Result>::outcome)> early;  // results ahead of their turn

  std::exception_ptr failure;
  try {
    for (unsigned i = 0; i < workers; ++i) {
      jobs.add_receiver();
      results.add_sender();
      try {
        threads.emplace_back(pool_detail::run_worker<Job, Result, Work>, std::ref(jobs), std::ref(results),
                             std::cref(work), std::ref(faults[i]));
      } catch (...) {
        jobs.drop_receiver();
        results.drop_sender();
        throw;
      }
    }

    // False when a worker reported a fault: the run ends at once.
    const auto file_result = [&](BlockResult<Result>&& r) {
      if (std::holds_alternative<WorkerFault>(r.outcome)) return false;
      early.emplace(r.index, std::move(r.outcome));
      return true;
    };
    std::uint64_t next = 0;
    std::uint64_t written = 0;
    bool more = true;
    const std::uint64_t max_in_flight = 2 * static_cast<std::uint64_t>(workers);
    const std::uint64_t max_unfinished = workers + std::clamp(waiting_jobs, 1u, workers);
    while (written < next || more) {
      // Jobs sent whose result has not come back yet: being coded or waiting in the channel.
      const std::uint64_t unfinished = next - written - early.size();
      if (more && next - written < max_in_flight && unfinished < max_unfinished && (next == written || ready())) {
        std::optional<Job> job = produce();
        if (!job) {
          more = false;
        } else {
          if (!jobs.send(BlockJob<Job>{next, std::move(*job)})) throw Error(kWorkerThreadStopped);
          ++next;
        }
        bool faulted = false;
        while (std::optional<BlockResult<Result>> r = results.try_receive()) {
          if (!file_result(std::move(*r))) {
            faulted = true;
            break;
          }
        }
        if (faulted) break;
      } else {
        std::optional<BlockResult<Result>> r = results.receive();
        if (!r) throw Error(kWorkerThreadStopped);
        if (!file_result(std::move(*r))) break;
      }
      while (!early.empty() && early.begin()->first == written) {
        auto outcome = std::move(early.begin()->second);
        early.erase(early.begin());
        if (auto* message = std::get_if<1>(&outcome)) throw Error(*message);
        consume(std::move(std::get<0>(outcome)));
        ++written;
      }
    }
  } catch (...) {
    failure = std::current_exception();
  }

  early.clear();
  results.drop_receiver();  // a worker that finishes a block now cannot deliver it, and ends
  jobs.drop_sender();
  // Jobs still queued are not worth coding any more; freeing them lets idle workers end now.
  while (jobs.try_receive()) {
  }
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& fault : faults) {
    if (fault) std::rethrow_exception(fault);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace corvale
