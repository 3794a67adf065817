#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "logic/texts.h"
#include "main/gui_state.h"
#include "main/gui_window.h"
#include "main/program_path.h"
#include "main/update_check.h"
#include "main/window_text.h"
#include "main/worker.h"

namespace corvale_gui {
namespace {

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

bool user_language_is_russian() {
  return (GetUserDefaultUILanguage() & 0x3FF) == LANG_RUSSIAN;
}

std::deque<std::filesystem::path> command_line_paths() {
  std::deque<std::filesystem::path> paths;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return paths;
  for (int i = 1; i < count; ++i) paths.emplace_back(std::wstring(args[i]));
  LocalFree(args);
  return paths;
}

HICON load_program_icon() {
  std::filesystem::path icon_path;
  if (std::optional<std::filesystem::path> program = own_program_path();
      program && program->has_parent_path()) {
    icon_path = program->parent_path() / L"corvale.ico";
  }
  // An empty path loads nothing; the window then simply has no icon.
  return static_cast<HICON>(LoadImageW(nullptr, icon_path.c_str(), IMAGE_ICON, 0, 0,
                                       LR_LOADFROMFILE | LR_DEFAULTSIZE));
}

HFONT create_ui_font(int height_at_96, int weight, UINT dpi) {
  // Negative: a character height, so the glyphs, not the cells, have this size.
  const int height = -static_cast<int>(static_cast<UINT>(height_at_96) * dpi / 96);
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

struct ChildControl {
  const wchar_t* window_class;
  DWORD style;
  int x, y, width, height;  // at 96 DPI
  int id;
  HFONT font;
};

HWND create_child(HWND parent, HINSTANCE instance, const ChildControl& control, UINT dpi) {
  HWND child = CreateWindowExW(0, control.window_class, L"", control.style,
                               scale_to_dpi(control.x, dpi), scale_to_dpi(control.y, dpi),
                               scale_to_dpi(control.width, dpi), scale_to_dpi(control.height, dpi), parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance,
                               nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.font), TRUE);
  return child;
}

void append_menu_item(HMENU menu, UINT flags, UINT id, std::string_view text) {
  std::wstring wide = to_wide(text);
  AppendMenuW(menu, flags, id, wide.c_str());
}

}  // namespace

int gui_main() {
  const bool english = !user_language_is_russian();

  auto initial = std::make_unique<GuiState>();
  initial->queue = command_line_paths();
  initial->english = english;
  publish_gui_state(std::move(initial));

  INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&common);

  HINSTANCE instance = GetModuleHandleW(nullptr);
  HICON icon = load_program_icon();
  HBRUSH background = GetSysColorBrush(COLOR_WINDOW);

  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = background;
  window_class.lpszClassName = kWindowClass;
  RegisterClassW(&window_class);

  const UINT dpi = GetDpiForSystem();
  RECT frame{0, 0, static_cast<LONG>(kClientWidth * dpi / 96),
             static_cast<LONG>(kClientHeight * dpi / 96)};
  AdjustWindowRect(&frame, kWindowStyle, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 3;

  const std::wstring title = to_wide(texts(english).window_title);
  HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, kWindowClass, title.c_str(), kWindowStyle, x,
                                y, width, height, nullptr, nullptr, instance, nullptr);
  DragAcceptFiles(window, TRUE);

  HFONT bold = create_ui_font(15, 600, dpi);
  HFONT normal = create_ui_font(13, FW_NORMAL, dpi);

  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  HWND icon_control = create_child(window, instance, {L"STATIC", kChild | SS_ICON, 20, 22, 48, 48, 0, normal}, dpi);
  SendMessageW(icon_control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  HWND title_label = create_child(
      window, instance, {L"STATIC", kChild | SS_NOPREFIX | SS_ENDELLIPSIS, 84, 18, 456, 22, 0, bold}, dpi);
  HWND subtitle_label = create_child(
      window, instance,
      {L"STATIC", kChild | SS_NOPREFIX | SS_PATHELLIPSIS, 84, 42, kSubtitleWidth, kSubtitleHeight, 0, normal},
      dpi);
  HWND progress_bar = create_child(window, instance, {PROGRESS_CLASSW, kChild, 84, 70, 456, 14, 0, normal}, dpi);
  SendMessageW(progress_bar, PBM_SETRANGE32, 0, 1000);
  // Three lines of text, the longest refusal's, down to the button's top edge.
  HWND details_label =
      create_child(window, instance, {L"STATIC", kChild | SS_NOPREFIX, 84, 92, 456, 56, 0, normal}, dpi);
  HWND action_button = create_child(
      window, instance,
      {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 440, 148, 100, 28, kActionButtonId, normal}, dpi);

  WindowControls& controls = window_controls();
  controls.title_label = title_label;
  controls.subtitle_label = subtitle_label;
  controls.progress_bar = progress_bar;
  controls.details_label = details_label;
  controls.action_button = action_button;
  controls.background_brush = GetSysColorBrush(COLOR_WINDOW);
  controls.dpi = dpi;
  controls.ready = true;

  const Texts& t = texts(english);
  HMENU system_menu = GetSystemMenu(window, FALSE);
  AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
  append_menu_item(system_menu, MF_STRING, kMenuAbout, t.menu_about);
  append_menu_item(system_menu, MF_STRING, kMenuCheckUpdates, t.menu_check_updates);
  const bool automatic_checks = auto_update_enabled();
  append_menu_item(system_menu, MF_STRING | (automatic_checks ? MF_CHECKED : MF_UNCHECKED),
                   kMenuCheckAutomatically, t.menu_check_automatically);

  if (automatic_checks && automatic_check_due_now()) start_update_check(window, false);

  refresh_window(window);
  ShowWindow(window, SW_SHOW);
  SetTimer(window, kRefreshTimer, kRefreshPeriodMs, nullptr);
  start_worker_if_idle();

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Lets Tab reach the button and the space bar press it.
    if (!IsDialogMessageW(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return 0;
}

}  // namespace corvale_gui

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return corvale_gui::gui_main(); }
