// Advice to the system about the program's memory.

#include "platform/platform.h"

namespace corvale::platform {

// Large pages on Windows need a privilege ordinary users lack and memory reserved for them up
// front; without advice the system's own page handling stays as it is.
void advise_large_block(void*, std::size_t) noexcept {}

// The C runtime's heap has no setting for it; its policy stays as it is.
void keep_freed_memory_for_reuse() noexcept {}
void back_heap_growth_with_large_pages() noexcept {}
void hand_back_large_freed_blocks() noexcept {}

}  // namespace corvale::platform
