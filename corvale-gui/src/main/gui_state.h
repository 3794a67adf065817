#pragma once
// The front end's shared state: one GuiState for the whole process, behind one lock,
// reached by every thread through lock_state(). WindowControls belong to the UI thread.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "logic/job_status.h"

namespace corvale_gui {

// The engine started for the current job. No standard-stream handles: the worker
// keeps the error-stream pipe itself.
struct EngineProcess {
  HANDLE process = nullptr;
  HANDLE thread = nullptr;
};

struct GuiState {
  std::optional<EngineProcess> child;
  std::deque<std::filesystem::path> queue;
  std::string title;     // status line 1 once a job has started
  std::string subtitle;  // status line 2 once a job has started
  std::optional<std::string> update_version;
  std::optional<std::string> update_download;
  std::optional<std::string> update_error;
  JobStatus status = job::Idle{};
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  std::uint64_t progress_done = 0;
  std::uint64_t progress_total = 0;
  std::uint64_t failures = 0;  // jobs ended in Error since start; never reset
  bool english = true;         // fixed at start
  bool worker_busy = false;
  bool auto_close_armed = false;  // only ever goes false -> true
  bool keep_open = false;         // only ever goes false -> true
};

// Holds the state lock for as long as it lives and gives access to the state.
class LockedState {
 public:
  LockedState(std::mutex& mutex, GuiState& state) : lock_(mutex), state_(&state) {}
  GuiState* operator->() const { return state_; }
  GuiState& operator*() const { return *state_; }

 private:
  std::unique_lock<std::mutex> lock_;
  GuiState* state_;
};

// Stores the state in the process-wide slot; called once by gui_main before the window exists.
void publish_gui_state(std::unique_ptr<GuiState> state);

// Takes the state lock. Only valid after publish_gui_state.
LockedState lock_state();

// UI-thread globals, set once by gui_main after every control exists.
struct WindowControls {
  bool ready = false;
  HWND title_label = nullptr;
  HWND subtitle_label = nullptr;
  HWND progress_bar = nullptr;
  HWND details_label = nullptr;
  HWND action_button = nullptr;
  HBRUSH background_brush = nullptr;
  UINT dpi = 96;             // the system's, at start
  bool idle_layout = false;  // line 2 on two lines and no bar: before the first job
};

// The UI thread's controls; no other thread may touch them.
WindowControls& window_controls();

}  // namespace corvale_gui
