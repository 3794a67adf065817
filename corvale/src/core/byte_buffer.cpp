#include "core/byte_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace corvale {

namespace {

LargeBlockAdvice g_large_block_advice = nullptr;

}  // namespace

void set_large_block_advice(LargeBlockAdvice advice) noexcept { g_large_block_advice = advice; }

ByteBuffer::ByteBuffer(std::size_t size) {
  reserve(size);
  size_ = size;
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : text_(std::move(other.text_)),
      block_(std::exchange(other.block_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {
  other.text_.clear();
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    std::free(block_);
    text_ = std::move(other.text_);
    other.text_.clear();
    block_ = std::exchange(other.block_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

ByteBuffer::~ByteBuffer() { std::free(block_); }

ByteBuffer::operator std::string() && {
  if (block_ == nullptr) return std::move(text_);
  return std::string(view());
}

void ByteBuffer::reserve(std::size_t capacity) {
  if (block_ != nullptr ? capacity <= capacity_ : capacity == 0) return;
  if (block_ == nullptr) {
    // The first block, or the end of a taken-over string: its bytes move in once.
    capacity = std::max(capacity, text_.size());
    auto* block = static_cast<char*>(std::malloc(capacity));
    if (block == nullptr) throw std::bad_alloc();
    if (!text_.empty()) std::memcpy(block, text_.data(), text_.size());
    size_ = text_.size();
    std::string().swap(text_);
    block_ = block;
  } else {
    auto* block = static_cast<char*>(std::realloc(block_, capacity));
    if (block == nullptr) throw std::bad_alloc();
    block_ = block;
  }
  capacity_ = capacity;
  // Before the first byte is written: a page already faulted in stays small.
  if (capacity >= kLargeBlockBytes && g_large_block_advice != nullptr) g_large_block_advice(block_, capacity);
}

void ByteBuffer::resize(std::size_t size) {
  if (size > capacity() || block_ == nullptr) reserve(std::max(size, 2 * capacity()));
  if (block_ == nullptr) return;  // still empty: size is 0
  size_ = size;
}

}  // namespace corvale
