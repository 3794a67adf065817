#pragma once
// The one way the program reads its input: a counting, buffered reader that can report how far
// it has got on standard error as "PROGRESS <done> <total>" lines, at most one per 100 ms.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

#include "core/byte_buffer.h"

namespace corvale {

inline constexpr std::size_t kProgressBufferSize = 8192;
inline constexpr std::uint64_t kProgressIntervalNs = 100'000'000;

// Where the time and the lines come from; replaced only by tests.
struct ProgressHooks {
  std::function<std::uint64_t()> now_ns;               // a monotonic clock; default steady_clock
  std::function<void(std::string_view)> write_line;    // default: standard error, unbuffered
};

class ProgressReader {
 public:
  ProgressReader(ProgressReader&&) noexcept = default;
  ProgressReader& operator=(ProgressReader&&) noexcept = default;

  std::uint64_t done() const { return done_; }
  std::uint64_t total() const { return total_; }
  // Closes the file and frees the buffer; reading afterwards is a programming error.
  void close();

 private:
  ProgressReader() = default;
  friend ProgressReader open_progress_reader(const std::filesystem::path&, std::uint64_t, bool,
                                             ProgressHooks);
  friend std::size_t progress_reader_read(ProgressReader&, char*, std::size_t);
  void after_read(std::size_t n);

  platform::File file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t buffer_pos_ = 0;
  std::size_t buffer_end_ = 0;
  std::uint64_t done_ = 0;
  std::uint64_t total_ = 0;
  bool report_ = false;
  std::uint64_t last_report_ns_ = 0;
  ProgressHooks hooks_;
};

// Opens the input and, when report is set, writes "PROGRESS 0 <total>" before anything is
// read. Throws Error "<path>: <system error>".
ProgressReader open_progress_reader(const std::filesystem::path& path, std::uint64_t total,
                                    bool report, ProgressHooks hooks = {});

// At most one read from the file; 0 only at the end of the input or when capacity is 0.
// Throws platform::OsError, which the caller words.
std::size_t progress_reader_read(ProgressReader& reader, char* dest, std::size_t capacity);

// Appends up to n bytes to out; true when the input ended before n bytes were read.
// Throws Error with the system error's text alone.
bool read_chunk(ProgressReader& reader, std::string& out, std::size_t n);

// Appends everything up to the end of the input. Throws platform::OsError.
void read_to_end(ProgressReader& reader, ByteBuffer& out);

// "PROGRESS <done> <total>\n".
std::string progress_line(std::uint64_t done, std::uint64_t total);

}  // namespace corvale
