#pragma once
// The job queue: one worker thread at a time converts the queued files in order, each by one
// run of the engine; the action button cancels the running job.

#include <windows.h>

#include <filesystem>

namespace corvale_gui {

// UI thread: starts the worker when none runs and something is queued.
void start_worker_if_idle();

// Worker thread: converts queued files until the queue is empty.
void worker_loop();

// Worker thread: converts one file; the outcome is left in the shared status.
void run_job(const std::filesystem::path& input);

// UI thread: with a job running, cancels it and empties the queue; otherwise destroys window.
void cancel_or_close(HWND window);

// UI thread: waits, at most limit_ms, until no worker runs, so that a job cancelled on the way
// out can still remove the engine's temporary file before the process ends.
void wait_for_worker(DWORD limit_ms);

}  // namespace corvale_gui
