#include <windows.h>
#include <shellapi.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "logic/texts.h"
#include "logic/utf16.h"
#include "main/gui_state.h"
#include "main/gui_window.h"
#include "main/update_check.h"
#include "main/window_text.h"
#include "main/worker.h"

namespace corvale_gui {
namespace {

void on_close(HWND window) {
  cancel_or_close(window);
  bool cancelled;
  {
    LockedState state = lock_state();
    cancelled = std::holds_alternative<job::Cancelled>(state->status);
  }
  // A running job has just been cancelled and the window still stands; otherwise
  // cancel_or_close has destroyed it already (a previous job may have ended Cancelled too).
  if (cancelled && IsWindow(window)) {
    // The engine is being ended; give the worker a moment to remove its temporary file, which
    // the end of the process would otherwise leave behind.
    wait_for_worker(5000);
    DestroyWindow(window);
  }
}

void on_destroy() {
  {
    LockedState state = lock_state();
    if (state->child) TerminateProcess(state->child->process, 1);
  }
  PostQuitMessage(0);
}

void on_drop_files(HDROP drop) {
  constexpr UINT kBufferUnits = 32768;
  std::vector<std::filesystem::path> paths;
  std::vector<wchar_t> buffer(kBufferUnits);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileW(drop, i, buffer.data(), kBufferUnits);
    if (length >= kBufferUnits) length = kBufferUnits - 1;
    // Through UTF-8 and back, so that an unpaired surrogate becomes U+FFFD.
    const std::u16string units(buffer.data(), buffer.data() + length);
    const std::u16string clean = utf16_from_utf8(utf8_from_utf16(units));
    paths.emplace_back(std::wstring(clean.begin(), clean.end()));
  }
  DragFinish(drop);
  {
    LockedState state = lock_state();
    for (std::filesystem::path& path : paths) state->queue.push_back(std::move(path));
  }
  start_worker_if_idle();
}

void show_about(HWND window) {
  bool english;
  {
    LockedState state = lock_state();
    english = state->english;
  }
  show_message_box(window, about_text(english), MB_ICONINFORMATION);
}

void check_updates_now(HWND window) {
  {
    LockedState state = lock_state();
    state->keep_open = true;
  }
  start_update_check(window, true);
}

// The outcome of an update check, stored by its thread before it posted the message.
void on_update_check_done(HWND window, bool manual) {
  std::optional<std::string> version, download, error;
  bool english;
  {
    LockedState state = lock_state();
    version = state->update_version;
    if (version) download = state->update_download;
    error = state->update_error;
    english = state->english;
  }
  const Texts& t = texts(english);
  if (version) {
    const std::string text = fill(t.newer_version, {*version, kVersion});
    if (show_message_box(window, text, MB_YESNO | MB_ICONINFORMATION) == IDYES && download) {
      const std::wstring address = to_wide(*download);
      ShellExecuteW(window, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
  } else if (manual) {
    const std::string text =
        error ? fill(t.check_failed, {*error}) : fill(t.latest_version, {kVersion});
    show_message_box(window, text, MB_ICONINFORMATION);
  }
}

}  // namespace

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      on_close(window);
      return 0;
    case WM_DESTROY:
      on_destroy();
      return 0;
    case WM_COMMAND:
      // Any notification of the button: Tab and the space bar arrive here as well.
      if (LOWORD(wparam) == kActionButtonId) cancel_or_close(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case kMenuAbout:
          show_about(window);
          return 0;
        case kMenuCheckUpdates:
          check_updates_now(window);
          return 0;
        case kMenuCheckAutomatically:
          toggle_automatic_checks(window);
          return 0;
      }
      break;
    case WM_TIMER:
      if (wparam == kAutoCloseTimer) {
        DestroyWindow(window);
      } else {
        refresh_window(window);
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkMode(dc, TRANSPARENT);
      const WindowControls& controls = window_controls();
      if (!controls.ready) break;
      HWND control = reinterpret_cast<HWND>(lparam);
      if (control == controls.subtitle_label || control == controls.details_label) {
        SetTextColor(dc, kSecondaryTextColor);
      }
      return reinterpret_cast<LRESULT>(controls.background_brush);
    }
    case WM_DROPFILES:
      on_drop_files(reinterpret_cast<HDROP>(wparam));
      return 0;
    case kUpdateCheckDone:
      on_update_check_done(window, wparam != 0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace corvale_gui
