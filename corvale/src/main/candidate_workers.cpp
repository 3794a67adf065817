#include "main/candidate_workers.h"

#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "codecs/candidate_road.h"

namespace corvale {

void run_candidate_workers(unsigned workers, const std::function<bool(unsigned)>& claim,
                           const std::function<void(unsigned)>& work) {
  std::mutex mutex;
  std::exception_ptr fault;
  auto loop = [&](unsigned worker) {
    for (;;) {
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (fault) return;
        try {
          if (!claim(worker)) return;
        } catch (...) {
          fault = std::current_exception();
          return;
        }
      }
      try {
        work(worker);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (!fault) fault = std::current_exception();
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
