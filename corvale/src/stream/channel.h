#pragma once
// The queues between the block pipelines' main thread and their workers: a first-in first-out
// channel, bounded or not, that knows how many sending and receiving ends are still held. When
// the last sender is gone, receivers drain what is left and then see the end; when the last
// receiver is gone, sends fail and what is queued is freed at once. So a side that stops can
// never leave the other waiting for ever.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

namespace corvale {

template <class T>
class Channel {
 public:
  static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

  // capacity: the most items queued at once. The ends held at the start are counted here;
  // add_* and drop_* change the counts later.
  Channel(std::size_t capacity, unsigned senders, unsigned receivers)
      : capacity_(capacity), senders_(senders), receivers_(receivers) {}
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  void add_sender() {
    std::lock_guard lock(mutex_);
    ++senders_;
  }
  void add_receiver() {
    std::lock_guard lock(mutex_);
    ++receivers_;
  }

  void drop_sender() {
    std::lock_guard lock(mutex_);
    if (--senders_ == 0) not_empty_.notify_all();
  }

  void drop_receiver() {
    std::deque<T> orphans;  // freed outside the lock
    {
      std::lock_guard lock(mutex_);
      if (--receivers_ != 0) return;
      orphans.swap(items_);
    }
    not_full_.notify_all();
  }

  // Waits while the channel is full. False when no receiver is left; item is then dropped.
  bool send(T item) {
    {
      std::unique_lock lock(mutex_);
      not_full_.wait(lock, [&] { return receivers_ == 0 || items_.size() < capacity_; });
      if (receivers_ == 0) return false;
      items_.push_back(std::move(item));
    }
    not_empty_.notify_one();
    return true;
  }

  // Waits for an item; nullopt once the channel is empty and no sender is left.
  std::optional<T> receive() {
    std::unique_lock lock(mutex_);
    not_empty_.wait(lock, [&] { return !items_.empty() || senders_ == 0; });
    return take_front(lock);
  }

  // An item when one is queued now; never waits.
  std::optional<T> try_receive() {
    std::unique_lock lock(mutex_);
    return take_front(lock);
  }

 private:
  std::optional<T> take_front(std::unique_lock<std::mutex>& lock) {
    if (items_.empty()) return std::nullopt;
    std::optional<T> item(std::move(items_.front()));
    items_.pop_front();
    lock.unlock();
    not_full_.notify_one();
    return item;
  }

  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable not_empty_;
  std::condition_variable not_full_;
  std::deque<T> items_;
  unsigned senders_;
  unsigned receivers_;
};

}  // namespace corvale
