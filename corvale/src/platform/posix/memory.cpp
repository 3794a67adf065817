// Advice to the system about the program's memory.

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/platform.h"

namespace corvale::platform {

void advise_large_block(void* block, std::size_t size) noexcept {
#ifdef MADV_HUGEPAGE
  // madvise takes whole pages: every page the block touches is advised, so that a block the
  // allocator mapped on its own (its header on the first page) stays one mapping that it can
  // still grow in place. Advice on a neighbour's bytes changes nothing they hold.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(block) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + size + page - 1) / page * page;
  ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

void keep_freed_memory_for_reuse() noexcept {
#ifdef M_MMAP_THRESHOLD
  // Blocks below the largest threshold the allocator takes come from its heaps, where a freed
  // block is reused as it is; the heaps give back their free tops only beyond 1 GiB.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void hand_back_large_freed_blocks() noexcept {
#ifdef M_MMAP_THRESHOLD
  // A threshold set here stays: the allocator no longer raises it after a large block is freed.
  ::mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

void back_heap_growth_with_large_pages() noexcept {
#if defined(M_TOP_PAD) && defined(MADV_HUGEPAGE)
  // Once freed memory is kept, the heap holds buffers of tens of megabytes too, and each grows
  // a piece at a time, so advice given block by block comes after the first pages of most of
  // them were faulted in small. So the heap's free top is advised first. From now on the heap
  // grows 32 MiB beyond each request (address space only: a page is backed when first written),
  // and a probe larger than the free top makes it grow at once: the next 32 MiB of buffers are
  // large pages from their first byte. The probe stays far below the threshold that
  // keep_freed_memory_for_reuse sets, so it is carved from the heap. A pad of 64 MiB
  // faulted no less, and left a restore of 512 MiB of blocks 64 MiB more resident.
  ::mallopt(M_TOP_PAD, 32 << 20);
  void* const probe = ::malloc(::mallinfo2().keepcost + (1 << 20));
  if (probe == nullptr) return;
  const auto heap_end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(probe) / page * page;
  ::free(probe);
  // A heap that could not grow by brk gave a mapping elsewhere: then there is no top to advise.
  if (heap_end > start) ::madvise(reinterpret_cast<void*>(start), heap_end - start, MADV_HUGEPAGE);
#endif
}

}  // namespace corvale::platform
