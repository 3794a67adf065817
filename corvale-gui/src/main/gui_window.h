#pragma once
// The main window: start-up, window procedure and status display.

#include <windows.h>

namespace corvale_gui {

inline constexpr wchar_t kWindowClass[] = L"CorvaleProgress";
inline constexpr int kClientWidth = 560;   // at 96 DPI
inline constexpr int kClientHeight = 190;
// Status line 2, at 96 DPI: one line during a job, where long names end in an ellipsis; two
// before the first job, whose sentence is longer than the window is wide. Those two lines
// take the place of the bar, which has nothing to show until then.
inline constexpr int kSubtitleWidth = 456;
inline constexpr int kSubtitleHeight = 20;
inline constexpr int kIdleSubtitleHeight = 38;
inline constexpr int kActionButtonId = 100;
inline constexpr UINT_PTR kRefreshTimer = 1;
inline constexpr UINT kRefreshPeriodMs = 100;
inline constexpr UINT_PTR kAutoCloseTimer = 2;
inline constexpr UINT kAutoCloseDelayMs = 2500;
inline constexpr UINT kMenuAbout = 0x110;
inline constexpr UINT kMenuCheckUpdates = 0x120;
inline constexpr UINT kMenuCheckAutomatically = 0x130;
// Posted by an update-check thread when it has stored its outcome; wParam 1 when the user
// asked for the check, 0 for an automatic one.
inline constexpr UINT kUpdateCheckDone = WM_APP + 1;
inline constexpr COLORREF kSecondaryTextColor = 0x666666;

// A length given at 96 DPI, at the system's DPI (the product truncated).
inline int scale_to_dpi(int value, UINT dpi) {
  return static_cast<int>(static_cast<UINT>(value) * dpi / 96);
}

// The program's main: returns when the message loop ends.
int gui_main();

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Brings the controls up to date with the shared state; may start the auto-close timer.
void refresh_window(HWND window);

}  // namespace corvale_gui
