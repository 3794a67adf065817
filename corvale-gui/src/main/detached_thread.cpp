#include "main/detached_thread.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

namespace corvale_gui {

void start_detached_thread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    std::fputs("failed to spawn thread\n", stderr);
    std::abort();
  }
}

}  // namespace corvale_gui
