// What the program asks about its own process and machine.

#include <sched.h>
#include <unistd.h>

#include "platform/platform.h"

namespace corvale::platform {

unsigned processor_count() {
  // The processors this process may run on, which inside a container or under taskset is
  // what matters for sizing a worker pool.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return static_cast<unsigned>(n);
  }
  const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 0;
}

std::uint64_t process_id() { return static_cast<std::uint64_t>(::getpid()); }

}  // namespace corvale::platform
