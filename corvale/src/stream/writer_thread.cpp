#include "stream/writer_thread.h"

#include <optional>
#include <utility>

#include "core/error.h"
#include "stream/ordered_block_pool.h"

namespace corvale {

WriterThread::WriterThread(BlockOutputFile& file, BlockCredit& credit, bool threaded)
    : file_(file), credit_(credit), queue_(Channel<Piece>::kUnbounded, /*senders=*/1, /*receivers=*/1) {
  // Nothing is queued beyond the credit, which bounds the queue by bytes and by blocks.
  if (threaded) thread_ = std::thread([this] { run(); });
}

WriterThread::~WriterThread() {
  abandoned_ = true;  // what is still queued is freed unwritten
  if (thread_.joinable()) {
    queue_.drop_sender();
    thread_.join();
  }
}

void WriterThread::abandon() {
  abandoned_ = true;
  join_and_rethrow();
}

void WriterThread::join_and_rethrow() {
  if (thread_.joinable()) {
    queue_.drop_sender();
    thread_.join();
  }
  if (failure_) std::rethrow_exception(failure_);
}

void WriterThread::run() noexcept {
  try {
    while (std::optional<Piece> piece = queue_.receive()) {
      if (abandoned_) continue;
      file_.write(piece->bytes.view());
      const std::uint64_t credit = piece->credit;
      piece.reset();
      credit_.give_back(credit);
    }
  } catch (...) {
    failure_ = std::current_exception();
    credit_.cancel();
  }
  queue_.drop_receiver();
}

void WriterThread::write(ByteBuffer bytes, std::uint64_t credit) {
  if (!thread_.joinable()) {
    file_.write(bytes.view());
    bytes = ByteBuffer();
    credit_.give_back(credit);
    return;
  }
  // Refused only once the thread has stopped on a failed write.
  if (!queue_.send(Piece{std::move(bytes), credit})) {
    join_and_rethrow();
    throw Error(kWorkerThreadStopped);
  }
}

void WriterThread::finish() { join_and_rethrow(); }

}  // namespace corvale
