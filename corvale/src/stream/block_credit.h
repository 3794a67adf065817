#pragma once
// What the blocks between the reader and the writer may hold at once: a block takes its credit
// (the most memory it can come to hold) when it is read and gives it back once it is written.
// Both its bytes and its place count, so neither a small limit nor many small blocks let the
// blocks in flight outgrow their bound. A single block is always let through, so the run moves
// on whatever one block costs.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace corvale {

class BlockCredit {
 public:
  BlockCredit(std::uint64_t max_bytes, std::uint64_t max_blocks) : max_bytes_(max_bytes), max_blocks_(max_blocks) {}
  BlockCredit(const BlockCredit&) = delete;
  BlockCredit& operator=(const BlockCredit&) = delete;

  // Whether a block of this cost could be taken now without waiting.
  bool fits(std::uint64_t bytes) const {
    std::lock_guard lock(mutex_);
    return fits_locked(bytes);
  }

  // Waits until a block of this cost fits, then takes its credit. False, without taking any,
  // once cancel() was called: whoever gives credit back has stopped.
  bool take(std::uint64_t bytes) {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [&] { return cancelled_ || fits_locked(bytes); });
    if (cancelled_) return false;
    held_bytes_ += bytes;
    ++held_blocks_;
    return true;
  }

  void give_back(std::uint64_t bytes) {
    {
      std::lock_guard lock(mutex_);
      held_bytes_ -= bytes;
      --held_blocks_;
    }
    freed_.notify_all();
  }

  void cancel() {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
    }
    freed_.notify_all();
  }

 private:
  bool fits_locked(std::uint64_t bytes) const {
    return held_blocks_ == 0 || (held_blocks_ < max_blocks_ && bytes <= max_bytes_ && held_bytes_ <= max_bytes_ - bytes);
  }

  const std::uint64_t max_bytes_;
  const std::uint64_t max_blocks_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  std::uint64_t held_bytes_ = 0;
  std::uint64_t held_blocks_ = 0;
  bool cancelled_ = false;
};

}  // namespace corvale
