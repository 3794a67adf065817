// Advice to the system about the program's memory.

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

}  // namespace corvale::platform
