#pragma once
// The block pipelines' writer on a thread of its own: the main thread hands each block over in
// order and goes back to reading and sending out the next ones, while this thread writes, so
// the file's slow side never keeps the workers waiting for new blocks. Every block's credit is
// given back once it is written. With threaded = false the blocks are written at once on the
// calling thread instead, for the pipelines' one-thread road.
//
// A failed write stops the writer: the blocks still queued are dropped, the credit is
// cancelled, and the next call on the main thread throws the write's Error.

#include <atomic>
#include <cstdint>
#include <exception>
#include <string_view>
#include <thread>

#include "core/byte_buffer.h"
#include "io/output_file.h"
#include "stream/block_credit.h"
#include "stream/channel.h"

namespace corvale {

class WriterThread {
 public:
  WriterThread(BlockOutputFile& file, BlockCredit& credit, bool threaded);
  // As abandon(), without throwing.
  ~WriterThread();
  WriterThread(const WriterThread&) = delete;
  WriterThread& operator=(const WriterThread&) = delete;

  // Queues bytes, which hold credit worth `credit`. Throws the writer's Error once it failed.
  void write(ByteBuffer bytes, std::uint64_t credit);
  // Waits until everything queued is written and the thread has ended. Throws the writer's
  // Error when a write failed.
  void finish();
  // The run failed elsewhere: stops without writing what is still queued (the file goes) and
  // waits for the thread. Throws the writer's Error when a write had failed before, as that
  // came first.
  void abandon();

 private:
  struct Piece {
    ByteBuffer bytes;
    std::uint64_t credit;
  };
  void run() noexcept;
  void join_and_rethrow();

  BlockOutputFile& file_;
  BlockCredit& credit_;
  Channel<Piece> queue_;
  std::atomic<bool> abandoned_{false};
  std::exception_ptr failure_;  // written by the thread, read only after it was joined
  std::thread thread_;
};

}  // namespace corvale
