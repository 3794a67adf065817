#include "main/gui_state.h"

namespace corvale_gui {
namespace {

// Neither is ever destroyed: when the message loop ends the process exits with worker and
// update threads still running, and they may take the lock or touch the state while the
// runtime runs its exit handlers.
std::mutex& state_mutex() {
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}
GuiState* state_slot = nullptr;
WindowControls controls;

}  // namespace

void publish_gui_state(std::unique_ptr<GuiState> state) { state_slot = state.release(); }

LockedState lock_state() { return LockedState(state_mutex(), *state_slot); }

WindowControls& window_controls() { return controls; }

}  // namespace corvale_gui
