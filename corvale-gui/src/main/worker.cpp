#include "main/worker.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "logic/output_names.h"
#include "logic/progress_line.h"
#include "logic/texts.h"
#include "main/detached_thread.h"
#include "main/engine_runner.h"
#include "main/gui_state.h"

namespace corvale_gui {
namespace {

bool is_running(const GuiState& state) { return std::holds_alternative<job::Running>(state.status); }

bool metadata_readable(const std::filesystem::path& path) { return read_metadata(path).has_value(); }

std::uint64_t size_or_zero(const std::filesystem::path& path) {
  const std::optional<FileMetadata> metadata = read_metadata(path);
  return metadata ? metadata->size : 0;
}

// An early failure of the job. A cancel that came first stands: the job stays Cancelled and
// counts as no failure.
void record_failure(std::string message) {
  LockedState state = lock_state();
  if (!is_running(*state)) return;
  state->status = job::Error{std::move(message)};
  state->failures += 1;
}

}  // namespace

void start_worker_if_idle() {
  {
    LockedState state = lock_state();
    if (state->worker_busy || state->queue.empty()) return;
    state->worker_busy = true;
  }
  start_detached_thread(worker_loop);
}

void worker_loop() {
  for (;;) {
    std::filesystem::path input;
    {
      LockedState state = lock_state();
      // Finding the queue empty and clearing the flag in one hold: a path queued after this
      // sees no worker and starts a new one.
      if (state->queue.empty()) {
        state->worker_busy = false;
        return;
      }
      input = std::move(state->queue.front());
      state->queue.pop_front();
    }
    run_job(input);
  }
}

void run_job(const std::filesystem::path& input) {
  bool english;
  {
    LockedState state = lock_state();
    english = state->english;
  }
  const Texts& t = texts(english);

  const JobPlan plan = plan_job(input);
  const std::filesystem::path output = unique_output_path(plan.output, metadata_readable);
  const std::optional<FileMetadata> input_metadata = read_metadata(input);
  {
    LockedState state = lock_state();
    state->title = fill(plan.mode == JobMode::compress ? t.compressing : t.extracting,
                        {file_name_text(input)});
    state->subtitle = fill(t.output_line, {file_name_text(output)});
    state->progress_done = 0;
    state->progress_total = input_metadata ? input_metadata->size : 0;
    state->started = std::chrono::steady_clock::now();
    state->status = job::Running{};
  }

  if (input_metadata && input_metadata->is_directory) {
    record_failure(std::string(t.folder_given));
    return;
  }

  std::string start_error;
  std::optional<StartedEngine> engine =
      start_engine(engine_program_path(), plan.mode, input, output, start_error);
  if (!engine) {
    record_failure(fill(t.engine_start_failed, {start_error}));
    return;
  }
  const DWORD engine_id = engine->process_id;
  {
    LockedState state = lock_state();
    if (state->child) close_engine_handles(*state->child);
    state->child = engine->process;
    // A cancel that came while the engine was starting found nothing to end; end it now, so
    // that a cancelled job never goes on to write its output.
    if (!is_running(*state)) terminate_engine(*state->child);
  }

  std::vector<std::string> messages;
  read_error_lines(engine->error_stream, [&](std::string_view text) {
    EngineLine line = interpret_engine_line(text, english);
    if (line.kind == EngineLine::Kind::progress) {
      LockedState state = lock_state();
      state->progress_done = line.progress.done;
      state->progress_total = line.progress.total;
    } else if (line.kind == EngineLine::Kind::message) {
      messages.push_back(std::move(line.message));
    }
  });
  // Closed before the wait: should the reading have stopped early, an engine still writing
  // fails on the closed pipe instead of blocking on it while we wait under the lock.
  CloseHandle(engine->error_stream);

  LockedState state = lock_state();
  bool failed = true;
  if (state->child) {
    EngineProcess process = *state->child;
    state->child.reset();
    DWORD exit_code = 1;
    if (WaitForSingleObject(process.process, INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.process, &exit_code)) {
      failed = exit_code != 0;
    }
    close_engine_handles(process);
  }

  if (std::holds_alternative<job::Cancelled>(state->status)) {
    DeleteFileW(engine_temporary_path(output, engine_id).c_str());
    // A clean exit means the cancel came too late to stop the engine, which has moved its
    // finished output into place; a cancelled job leaves no output, so it goes too. (An
    // engine that was terminated exits with 1 and has written none.)
    if (!failed) DeleteFileW(output.c_str());
  } else if (failed) {
    state->status = job::Error{failure_message(messages, english)};
    state->failures += 1;
  } else {
    state->status = job::Done{size_or_zero(input), size_or_zero(output)};
  }
}

void cancel_or_close(HWND window) {
  {
    LockedState state = lock_state();
    if (is_running(*state)) {
      state->status = job::Cancelled{};
      state->queue.clear();
      if (state->child) terminate_engine(*state->child);
      return;
    }
  }
  DestroyWindow(window);
}

void wait_for_worker(DWORD limit_ms) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    {
      LockedState state = lock_state();
      if (!state->worker_busy) return;
    }
    if (GetTickCount64() - start >= limit_ms) return;
    Sleep(10);
  }
}

}  // namespace corvale_gui
