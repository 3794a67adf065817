#include "fuzz_support.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

// The sanitizer allocator's own interface, declared weak: present in the fuzz build and the
// sanitized replay, absent from the plain native one.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*))
    __attribute__((weak));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* p) __attribute__((weak));

namespace corvale::fuzz {
namespace {

// Bytes allocated minus bytes freed since the watch began (negative when it frees older memory),
// and the highest value seen. Block decoders allocate on worker threads too.
std::atomic<bool> watching{false};
std::atomic<std::int64_t> current{0};
std::atomic<std::int64_t> highest{0};

void on_malloc(const volatile void*, std::size_t size) {
  if (!watching.load(std::memory_order_relaxed)) return;
  const std::int64_t now = current.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed) +
                           static_cast<std::int64_t>(size);
  std::int64_t seen = highest.load(std::memory_order_relaxed);
  while (now > seen && !highest.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
  }
}

void on_free(const volatile void* p) {
  if (p == nullptr || !watching.load(std::memory_order_relaxed)) return;
  current.fetch_sub(static_cast<std::int64_t>(__sanitizer_get_allocated_size(p)), std::memory_order_relaxed);
}

bool install_hooks() {
  if (__sanitizer_install_malloc_and_free_hooks == nullptr || __sanitizer_get_allocated_size == nullptr) return false;
  return __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free) != 0;
}

// libdeflate's compressors take hundreds of KB each, and the encoders make thousands of them
// for one input. The sanitizer allocator maps every one afresh, which made the round-trip
// targets a thousand times slower than a native run; so freed ones are kept for reuse here.
// Only the fuzz programs do this: the product allocates as it always does.
struct CompressorCache {
  std::mutex mutex;
  std::vector<std::pair<std::size_t, void*>> free_blocks;
};

CompressorCache& compressor_cache() {
  static CompressorCache* cache = new CompressorCache;  // outlives every static destructor
  return *cache;
}

constexpr std::size_t kCachedBlocks = 16;
constexpr std::size_t kSizeHeader = 16;  // keeps the block's size, and malloc's alignment

void* cached_malloc(std::size_t size) {
  CompressorCache& cache = compressor_cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (auto it = cache.free_blocks.begin(); it != cache.free_blocks.end(); ++it) {
      if (it->first == size) {
        void* block = it->second;
        cache.free_blocks.erase(it);
        return static_cast<char*>(block) + kSizeHeader;
      }
    }
  }
  void* block = std::malloc(size + kSizeHeader);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = size;
  return static_cast<char*>(block) + kSizeHeader;
}

void cached_free(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kSizeHeader;
  CompressorCache& cache = compressor_cache();
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.free_blocks.size() < kCachedBlocks) {
      cache.free_blocks.emplace_back(*static_cast<std::size_t*>(block), block);
      return;
    }
  }
  std::free(block);
}

const bool compressor_cache_installed = [] {
  libdeflate_set_memory_allocator(cached_malloc, cached_free);
  return true;
}();

}  // namespace

bool HeapWatch::available() {
  static const bool installed = install_hooks();
  return installed;
}

HeapWatch::HeapWatch() {
  if (!available()) return;
  current = 0;
  highest = 0;
  watching = true;
}

HeapWatch::~HeapWatch() { watching = false; }

std::uint64_t HeapWatch::peak() const { return static_cast<std::uint64_t>(std::max<std::int64_t>(highest.load(), 0)); }

}  // namespace corvale::fuzz
