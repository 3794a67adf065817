#include "io/progress_reader.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/error.h"
#include "io/console.h"
#include "io/io_error.h"

namespace corvale {
namespace {

std::uint64_t steady_now_ns() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

std::string progress_line(std::uint64_t done, std::uint64_t total) {
  return "PROGRESS " + std::to_string(done) + " " + std::to_string(total) + "\n";
}

ProgressReader open_progress_reader(const std::filesystem::path& path, std::uint64_t total, bool report,
                                    ProgressHooks hooks) {
  ProgressReader reader;
  try {
    reader.file_ = platform::File::open_for_reading(path);
  } catch (const platform::OsError& e) {
    throw Error(io_error_with_path(path, e));
  }
  if (!hooks.now_ns) hooks.now_ns = steady_now_ns;
  if (!hooks.write_line) hooks.write_line = print_stderr;
  reader.buffer_ = std::make_unique<char[]>(kProgressBufferSize);
  reader.total_ = total;
  reader.report_ = report;
  reader.hooks_ = std::move(hooks);
  reader.last_report_ns_ = reader.hooks_.now_ns();
  if (report) reader.hooks_.write_line(progress_line(0, total));
  return reader;
}

void ProgressReader::close() {
  file_ = platform::File();
  buffer_.reset();
  buffer_pos_ = buffer_end_ = 0;
}

void ProgressReader::after_read(std::size_t n) {
  done_ += n;
  if (!report_) return;
  const std::uint64_t now = hooks_.now_ns();
  // A clock that seems to step back counts as no time elapsed.
  const std::uint64_t elapsed = now > last_report_ns_ ? now - last_report_ns_ : 0;
  if (elapsed < kProgressIntervalNs) return;
  last_report_ns_ = now;
  hooks_.write_line(progress_line(std::min(done_, total_), total_));
}

std::size_t progress_reader_read(ProgressReader& reader, char* dest, std::size_t capacity) {
  std::size_t n;
  if (reader.buffer_pos_ == reader.buffer_end_ && capacity >= kProgressBufferSize) {
    // Large reads skip the buffer, so reading a whole file costs no extra copy.
    n = reader.file_.read(dest, capacity);
  } else {
    if (reader.buffer_pos_ == reader.buffer_end_) {
      reader.buffer_end_ = reader.file_.read(reader.buffer_.get(), kProgressBufferSize);
      reader.buffer_pos_ = 0;
    }
    n = std::min(reader.buffer_end_ - reader.buffer_pos_, capacity);
    if (n > 0) std::memcpy(dest, reader.buffer_.get() + reader.buffer_pos_, n);
    reader.buffer_pos_ += n;
  }
  reader.after_read(n);
  return n;
}

bool read_chunk(ProgressReader& reader, std::string& out, std::size_t n) {
  if (n == 0) return false;
  const std::size_t start = out.size();
  out.resize(start + n);
  std::size_t filled = 0;
  while (filled < n) {
    std::size_t got;
    try {
      got = progress_reader_read(reader, out.data() + start + filled, n - filled);
    } catch (const platform::OsError& e) {
      out.resize(start + filled);
      throw Error(e.what());
    }
    if (got == 0) {
      out.resize(start + filled);
      return true;
    }
    filled += got;
  }
  return false;
}

void read_to_end(ProgressReader& reader, ByteBuffer& out) {
  // Start from the size the metadata gave, then grow when the file turns out longer; the
  // spare room also serves as the final read that sees the end of the file. The room is not
  // cleared: the reads fill it.
  std::size_t len = out.size();
  out.resize(len + static_cast<std::size_t>(reader.total()) + kProgressBufferSize);
  try {
    for (;;) {
      if (out.size() - len < kProgressBufferSize) {
        out.resize(out.size() + std::max(out.size() / 2, kProgressBufferSize));
      }
      const std::size_t got = progress_reader_read(reader, out.data() + len, out.size() - len);
      if (got == 0) break;
      len += got;
    }
  } catch (...) {
    out.resize(len);
    throw;
  }
  out.resize(len);
}

}  // namespace corvale
