#pragma once

#include <functional>

namespace corvale_gui {

// Runs body on a thread that nobody joins; it ends with the process at the latest. A thread
// that cannot be started ends the program with "failed to spawn thread".
void start_detached_thread(std::function<void()> body);

}  // namespace corvale_gui
