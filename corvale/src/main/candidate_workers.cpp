#include "main/candidate_workers.h"

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "codecs/numbers/candidate_road.h"

namespace corvale {

namespace {

// Set on a thread while it runs a loop of the road: a choice started inside a loop's work runs on
// that thread alone, not on workers of its own.
thread_local bool t_in_loop = false;

}  // namespace

void run_candidate_workers(unsigned workers, const std::function<RoadStep(unsigned)>& claim,
                           const std::function<void(unsigned)>& work) {
  if (t_in_loop) workers = 1;
  std::mutex mutex;
  std::condition_variable claimed;  // another loop's claim returned, or a loop failed
  std::uint64_t claims = 0;
  std::exception_ptr fault;
  auto loop = [&](unsigned worker) {
    const bool was_in_loop = t_in_loop;
    t_in_loop = true;
    struct Restore {
      bool value;
      ~Restore() { t_in_loop = value; }
    } restore{was_in_loop};
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
          if (fault) return;
          RoadStep step;
          try {
            step = claim(worker);
          } catch (...) {
            fault = std::current_exception();
            claimed.notify_all();
            return;
          }
          ++claims;
          claimed.notify_all();
          if (step == RoadStep::Done) return;
          if (step == RoadStep::Work) break;
          const std::uint64_t seen = claims;
          claimed.wait(lock, [&] { return fault || claims != seen; });
        }
      }
      try {
        work(worker);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!fault) fault = std::current_exception();
        claimed.notify_all();
        return;
      }
    }
  };
  {
    std::vector<std::jthread> threads;
    threads.reserve(workers > 0 ? workers - 1 : 0);
    for (unsigned worker = 1; worker < workers; ++worker) threads.emplace_back(loop, worker);
    loop(0);
  }
  if (fault) std::rethrow_exception(fault);
}

void install_parallel_candidate_choice(unsigned workers) { set_candidate_road({run_candidate_workers, workers}); }

}  // namespace corvale
