#pragma once
// The job queue's worker and the action button (filled in with the worker itself).

#include <windows.h>

namespace corvale_gui {

// Starts the worker thread when none runs and the queue is not empty.
void start_worker_if_idle();

// With a job running, cancels it; otherwise destroys the window.
void cancel_or_close(HWND window);

}  // namespace corvale_gui
