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

}  // namespace corvale::platform
