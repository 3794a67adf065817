#pragma once
// Bytes whose size is known before they are written: a restored text, an inflated body, a file
// read whole. Unlike a string, growing one leaves the new bytes uninitialised, so a decoder that
// writes every byte of its output touches each page once, not twice; and growth may move the
// block without copying it (large blocks are remapped).

#include <cstddef>
#include <string>
#include <string_view>

namespace corvale {

// What the program may ask of the system for a block of at least kLargeBlockBytes that a buffer
// has just allocated or moved: on Linux, to back it with large pages, so that writing an output
// of many megabytes takes one page fault for every 2 MiB instead of every 4 KiB. The codecs have
// no platform layer of their own; the program installs the advice once, before any thread
// starts. None by default.
using LargeBlockAdvice = void (*)(void* block, std::size_t size) noexcept;
inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;
void set_large_block_advice(LargeBlockAdvice advice) noexcept;

class ByteBuffer {
 public:
  ByteBuffer() noexcept = default;
  // size bytes of room, every one to be written before it is read.
  explicit ByteBuffer(std::size_t size);
  // Takes over a string's bytes without copying them: for decoders that still build strings.
  explicit ByteBuffer(std::string text) noexcept : text_(std::move(text)) {}
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  char* data() noexcept { return block_ != nullptr ? block_ : text_.data(); }
  const char* data() const noexcept { return block_ != nullptr ? block_ : text_.data(); }
  std::size_t size() const noexcept { return block_ != nullptr ? size_ : text_.size(); }
  bool empty() const noexcept { return size() == 0; }
  std::size_t capacity() const noexcept { return block_ != nullptr ? capacity_ : text_.size(); }
  std::string_view view() const noexcept { return {data(), size()}; }
  operator std::string_view() const noexcept { return view(); }

  // For callers that keep strings: a taken-over string is handed back, anything else copied.
  operator std::string() const& { return std::string(view()); }
  operator std::string() &&;

  // Room for at least capacity bytes; the bytes so far are kept.
  void reserve(std::size_t capacity);
  // Bytes past the old size are uninitialised. Growth past the capacity at least doubles it, so
  // that growing a byte at a time stays linear.
  void resize(std::size_t size);

  friend bool operator==(const ByteBuffer& a, std::string_view b) noexcept { return a.view() == b; }

 private:
  std::string text_;  // the bytes while block_ is null
  char* block_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace corvale
