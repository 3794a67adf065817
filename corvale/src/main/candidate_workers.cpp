#include "main/candidate_workers.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "codecs/numbers/candidate_road.h"

namespace corvale {

namespace {

// Threads that live as long as the road is installed and run the loops of every run on it. A
// run started from inside a loop's work (a table column choosing between its encodings) queues
// its loops like any other: they go to whichever thread is idle, so nested runs share the same
// threads instead of multiplying them, and a loop no thread took is dropped once its run ends.
class LoopThreads {
 public:
  struct Loop {
    std::function<void()> body;
    enum class State { Queued, Running, Finished } state = State::Queued;
  };

  explicit LoopThreads(unsigned threads) {
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
  }
  ~LoopThreads() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    queued_.notify_all();
    threads_.clear();  // joins
  }

  void post(Loop& loop) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(&loop);
    }
    queued_.notify_one();
  }

  // Takes the loop back when no thread has taken it yet; else waits until it has finished.
  void withdraw(Loop& loop) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (loop.state == Loop::State::Queued) {
      std::erase(queue_, &loop);
      return;
    }
    finished_.wait(lock, [&] { return loop.state == Loop::State::Finished; });
  }

 private:
  void serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      queued_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (queue_.empty()) return;
      Loop* loop = queue_.front();
      queue_.pop_front();
      loop->state = Loop::State::Running;
      lock.unlock();
      loop->body();
      lock.lock();
      loop->state = Loop::State::Finished;
      finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Loop*> queue_;
  bool stopping_ = false;
  std::vector<std::jthread> threads_;
};

std::unique_ptr<LoopThreads> g_threads;

}  // namespace

void run_candidate_workers(unsigned workers, const std::function<RoadStep(unsigned)>& claim,
                           const std::function<void(unsigned)>& work) {
  std::mutex mutex;
  std::condition_variable claimed;  // another loop's claim returned, or a loop failed
  std::uint64_t claims = 0;
  std::exception_ptr fault;
  auto loop = [&](unsigned worker) {
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
  std::vector<LoopThreads::Loop> others(g_threads && workers > 1 ? workers - 1 : 0);
  for (unsigned i = 0; i < others.size(); ++i) {
    others[i].body = [&loop, i] { loop(i + 1); };
    g_threads->post(others[i]);
  }
  loop(0);
  for (LoopThreads::Loop& other : others) g_threads->withdraw(other);
  if (fault) std::rethrow_exception(fault);
}

void install_parallel_candidate_choice(unsigned workers) {
  g_threads.reset();
  if (workers >= 2) g_threads = std::make_unique<LoopThreads>(workers - 1);
  set_candidate_road({run_candidate_workers, workers});
}

}  // namespace corvale
