#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <variant>

#include "logic/status_display.h"
#include "main/gui_state.h"
#include "main/gui_window.h"
#include "main/window_text.h"

namespace corvale_gui {
namespace {

// Before the first job line 2 wraps onto two lines where the bar would be; from the first job
// on it is one line again, long names ending in an ellipsis, above the bar.
void use_idle_layout(WindowControls& controls, bool idle) {
  LONG style = GetWindowLongW(controls.subtitle_label, GWL_STYLE) & ~SS_ELLIPSISMASK;
  if (!idle) style |= SS_PATHELLIPSIS;
  SetWindowLongW(controls.subtitle_label, GWL_STYLE, style);
  SetWindowPos(controls.subtitle_label, nullptr, 0, 0, scale_to_dpi(kSubtitleWidth, controls.dpi),
               scale_to_dpi(idle ? kIdleSubtitleHeight : kSubtitleHeight, controls.dpi),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(controls.subtitle_label, nullptr, TRUE);
  ShowWindow(controls.progress_bar, idle ? SW_HIDE : SW_SHOW);
  controls.idle_layout = idle;
}

}  // namespace

void refresh_window(HWND window) {
  WindowControls& controls = window_controls();
  if (!controls.ready) return;
  // One hold for the whole refresh, so every control shows the same moment of the state.
  LockedState state = lock_state();
  const StatusInput input{
      .status = state->status,
      .title = state->title,
      .subtitle = state->subtitle,
      .elapsed = std::chrono::steady_clock::now() - state->started,
      .progress_done = state->progress_done,
      .progress_total = state->progress_total,
      .failures = state->failures,
      .english = state->english,
      .worker_busy = state->worker_busy,
      .queue_empty = state->queue.empty(),
      .auto_close_armed = state->auto_close_armed,
      .keep_open = state->keep_open,
  };
  const StatusDisplay display = compute_status_display(input);
  const bool idle = std::holds_alternative<job::Idle>(state->status);
  if (idle != controls.idle_layout) use_idle_layout(controls, idle);
  set_text_if_changed(controls.title_label, display.line1);
  set_text_if_changed(controls.subtitle_label, display.line2);
  SendMessageW(controls.progress_bar, PBM_SETPOS, static_cast<WPARAM>(display.bar), 0);
  set_text_if_changed(controls.details_label, display.line3);
  set_text_if_changed(controls.action_button, display.button);
  if (display.start_auto_close) {
    state->auto_close_armed = true;
    SetTimer(window, kAutoCloseTimer, kAutoCloseDelayMs, nullptr);
  }
}

}  // namespace corvale_gui
