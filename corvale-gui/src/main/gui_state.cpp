#include "main/gui_state.h"

#include <utility>

namespace corvale_gui {
namespace {

std::mutex state_mutex;
std::unique_ptr<GuiState> state_slot;
WindowControls controls;

}  // namespace

void publish_gui_state(std::unique_ptr<GuiState> state) { state_slot = std::move(state); }

LockedState lock_state() { return LockedState(state_mutex, *state_slot); }

WindowControls& window_controls() { return controls; }

}  // namespace corvale_gui
