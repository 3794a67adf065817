// Reads the front end's window back for the window tests: finds it by its class, prints
// what its controls show, presses its button, reads its message boxes, closes it.
// Usage: gui-probe <command> [argument]; one "key=value" result per line on stdout,
// text values in UTF-8 with line breaks written as \r and \n. Exit status 0 on success,
// 1 when the window or what was asked for cannot be found, 2 on a usage error.

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kWindowClass[] = L"CorvaleProgress";
constexpr DWORD kWaitMs = 30000;

void print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
            nullptr);
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// One line per value, so that line breaks inside a text stay visible.
std::string escaped(const std::wstring& text) {
  std::string out;
  for (char c : utf8(text)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring window_text(HWND window) {
  std::wstring text(32768, L'\0');
  int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

std::wstring class_name(HWND window) {
  wchar_t name[256];
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

bool same_class(HWND window, const wchar_t* name) {
  return _wcsicmp(class_name(window).c_str(), name) == 0;
}

HWND find_window(DWORD wait_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = FindWindowW(kWindowClass, nullptr)) return window;
    if (GetTickCount() - start >= wait_ms) return nullptr;
    Sleep(100);
  }
}

struct Controls {
  HWND icon = nullptr;
  HWND title = nullptr, subtitle = nullptr, details = nullptr;  // the status lines, top down
  HWND bar = nullptr;
  HWND button = nullptr;
};

RECT rect_in_parent(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

Controls find_controls(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  Controls c;
  std::vector<HWND> lines;
  for (HWND child : children) {
    if (same_class(child, L"Static")) {
      if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        c.icon = child;
      } else {
        lines.push_back(child);
      }
    } else if (same_class(child, PROGRESS_CLASSW)) {
      c.bar = child;
    } else if (same_class(child, L"Button")) {
      c.button = child;
    }
  }
  std::sort(lines.begin(), lines.end(), [window](HWND a, HWND b) {
    return rect_in_parent(window, a).top < rect_in_parent(window, b).top;
  });
  if (lines.size() > 0) c.title = lines[0];
  if (lines.size() > 1) c.subtitle = lines[1];
  if (lines.size() > 2) c.details = lines[2];
  return c;
}

// A message box is a dialog owned by the window.
HWND find_message_box(HWND owner, DWORD wait_ms) {
  struct Search {
    HWND owner;
    HWND found;
  };
  const DWORD start = GetTickCount();
  for (;;) {
    Search search{owner, nullptr};
    EnumWindows(
        [](HWND candidate, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          if (same_class(candidate, L"#32770") && GetWindow(candidate, GW_OWNER) == s->owner &&
              IsWindowVisible(candidate)) {
            s->found = candidate;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount() - start >= wait_ms) return nullptr;
    Sleep(100);
  }
}

// The message text is the dialog's static with id 0xFFFF; failing that, its longest static.
std::wstring message_box_text(HWND box) {
  if (HWND text = GetDlgItem(box, 0xFFFF)) return window_text(text);
  std::wstring best;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (same_class(child, L"Static")) {
      std::wstring text = window_text(child);
      if (text.size() > best.size()) best = text;
    }
  }
  return best;
}

void print_geometry(HWND window, const char* name, HWND control) {
  if (!control) {
    print(std::string(name) + "=missing");
    return;
  }
  RECT r = rect_in_parent(window, control);
  print(std::string(name) + "=" + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
        std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
}

// ---- sub-commands -------------------------------------------------------------------

int cmd_find(HWND, const wchar_t*) {
  print("found=1");
  return 0;
}

int cmd_state(HWND window, const wchar_t*) {
  Controls c = find_controls(window);
  print("title=" + escaped(window_text(window)));
  print("line1=" + (c.title ? escaped(window_text(c.title)) : std::string("<missing>")));
  print("line2=" + (c.subtitle ? escaped(window_text(c.subtitle)) : std::string("<missing>")));
  print("line3=" + (c.details ? escaped(window_text(c.details)) : std::string("<missing>")));
  print("button=" + (c.button ? escaped(window_text(c.button)) : std::string("<missing>")));
  print("bar=" + (c.bar ? std::to_string(SendMessageW(c.bar, PBM_GETPOS, 0, 0))
                        : std::string("<missing>")));
  return 0;
}

int cmd_geometry(HWND window, const wchar_t*) {
  RECT client;
  GetClientRect(window, &client);
  print("client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  Controls c = find_controls(window);
  print_geometry(window, "icon", c.icon);
  print_geometry(window, "title_label", c.title);
  print_geometry(window, "subtitle_label", c.subtitle);
  print_geometry(window, "progress_bar", c.bar);
  print_geometry(window, "details_label", c.details);
  print_geometry(window, "action_button", c.button);
  return 0;
}

int cmd_click(HWND window, const wchar_t*) {
  Controls c = find_controls(window);
  if (!c.button) return 1;
  // Posted: the click may open nothing or close the window; the probe need not wait.
  PostMessageW(c.button, BM_CLICK, 0, 0);
  print("clicked=1");
  return 0;
}

int cmd_syscommand(HWND window, const wchar_t* argument) {
  if (!argument) return 2;
  WPARAM id = static_cast<WPARAM>(wcstoul(argument, nullptr, 0));
  PostMessageW(window, WM_SYSCOMMAND, id, 0);
  print("syscommand=" + utf8(argument));
  return 0;
}

int cmd_close(HWND window, const wchar_t*) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  print("closed=1");
  return 0;
}

int cmd_wait_gone(HWND window, const wchar_t*) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= kWaitMs) {
      print("gone=0");
      return 1;
    }
    Sleep(100);
  }
  print("gone=1");
  return 0;
}

// Prints the open message box's caption and text, then answers it with the button id given
// (default IDOK, 1).
int cmd_message_box(HWND window, const wchar_t* argument) {
  HWND box = find_message_box(window, 10000);
  if (!box) {
    print("message_box=missing");
    return 1;
  }
  print("caption=" + escaped(window_text(box)));
  print("text=" + escaped(message_box_text(box)));
  const WPARAM answer = argument ? static_cast<WPARAM>(wcstoul(argument, nullptr, 0)) : IDOK;
  PostMessageW(box, WM_COMMAND, answer, 0);
  return 0;
}

int cmd_about(HWND window, const wchar_t*) {
  PostMessageW(window, WM_SYSCOMMAND, 0x110, 0);
  return cmd_message_box(window, nullptr);
}

// ---- job sub-commands ----------------------------------------------------------------

std::wstring control_value(const Controls& c, const std::wstring& key) {
  HWND control = key == L"line1" ? c.title : key == L"line2" ? c.subtitle
               : key == L"line3" ? c.details : key == L"button" ? c.button : nullptr;
  if (key == L"bar" && c.bar) return std::to_wstring(SendMessageW(c.bar, PBM_GETPOS, 0, 0));
  return control ? window_text(control) : std::wstring();
}

// KEY=TEXT: waits up to 60 s until line1, line2, line3, button or bar contains TEXT, then
// prints the state; exit status 1 when it never does.
int cmd_wait_state(HWND window, const wchar_t* argument) {
  if (!argument || !wcschr(argument, L'=')) return 2;
  const std::wstring spec = argument;
  const std::wstring key = spec.substr(0, spec.find(L'=')), text = spec.substr(spec.find(L'=') + 1);
  const DWORD wait_ms = 60000;
  const DWORD start = GetTickCount();
  for (;;) {
    if (!IsWindow(window)) {
      print("gone=1");
      return 1;
    }
    if (control_value(find_controls(window), key).find(text) != std::wstring::npos) {
      return cmd_state(window, nullptr);
    }
    if (GetTickCount() - start >= wait_ms) {
      cmd_state(window, nullptr);
      return 1;
    }
    Sleep(20);
  }
}

// SECONDS: prints "seen=<line 1>|<line 3>|bar=<position>|visible or hidden|ms=<since start>"
// each time one of them changes, until the window is gone or the time is up, then gone= and
// gone_ms=. A window being destroyed is hidden first (Wine may then take a while).
int cmd_watch(HWND window, const wchar_t* argument) {
  const DWORD wait_ms = argument ? static_cast<DWORD>(wcstod(argument, nullptr) * 1000) : kWaitMs;
  const DWORD start = GetTickCount();
  std::string last;
  while (IsWindow(window) && GetTickCount() - start < wait_ms) {
    Controls c = find_controls(window);
    std::string now = "seen=";
    now += escaped(control_value(c, L"line1"));
    now += '|';
    now += escaped(control_value(c, L"line3"));
    now += "|bar=";
    now += utf8(control_value(c, L"bar"));
    now += IsWindowVisible(window) ? "|visible" : "|hidden";
    if (now != last) print(now + "|ms=" + std::to_string(GetTickCount() - start));
    last = now;
    Sleep(10);
  }
  print(IsWindow(window) ? "gone=0" : "gone=1");
  print("gone_ms=" + std::to_string(GetTickCount() - start));
  return 0;
}

// PATH: drops one file on the window. The drop block is written into the window's own
// process, where the window procedure reads it as its HDROP; this stands in for the shell
// under Wine, which reads such a block through the pointer it is given.
int cmd_drop(HWND window, const wchar_t* argument) {
  if (!argument) return 2;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return 1;
  const std::wstring path = argument;
  std::vector<unsigned char> block(sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t), 0);
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(block.data() + sizeof(DROPFILES), path.data(), path.size() * sizeof(wchar_t));
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  const bool written = remote && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
  CloseHandle(process);
  if (!written) return 1;
  PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  print("dropped=1");
  return 0;
}

// The Windows process ids of running corvale.exe engines.
int cmd_engines(HWND, const wchar_t*) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  std::string pids;
  int count = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, L"corvale.exe") == 0) {
      if (count++) pids += ' ';
      pids += std::to_string(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  print("engines=" + std::to_string(count));
  print("engine_pids=" + pids);
  return 0;
}

HWND focused_control(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void press_key(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// The keyboard road to the button: Tab moves the focus to it, the space bar presses it.
// Prints whether the button had the focus before and after Tab.
int cmd_tab_space(HWND window, const wchar_t*) {
  Controls c = find_controls(window);
  SetForegroundWindow(window);
  Sleep(300);
  auto focus_name = [&] { return focused_control(window) == c.button ? "button" : "other"; };
  print(std::string("focus_before=") + focus_name());
  press_key(VK_TAB);
  Sleep(500);
  print(std::string("focus=") + focus_name());
  press_key(VK_SPACE);
  return 0;
}

struct Command {
  const wchar_t* name;
  int (*run)(HWND window, const wchar_t* argument);
  const char* help;
};

// New sub-commands go here.
const Command kCommands[] = {
    {L"find", cmd_find, "wait up to 30 s for the window"},
    {L"state", cmd_state, "title, the three status lines, button text and bar position"},
    {L"geometry", cmd_geometry, "client size and each control's place and size"},
    {L"click", cmd_click, "press the action button"},
    {L"syscommand", cmd_syscommand, "ID: send a system-menu command (0x110 About, ...)"},
    {L"about", cmd_about, "open the About box, print it and close it"},
    {L"message-box", cmd_message_box, "[ID]: print the open message box, answer it (IDOK)"},
    {L"tab-space", cmd_tab_space, "Tab to the button, then press it with the space bar"},
    {L"close", cmd_close, "send WM_CLOSE"},
    {L"wait-gone", cmd_wait_gone, "wait up to 30 s for the window to disappear"},
    {L"wait-state", cmd_wait_state, "KEY=TEXT: wait up to 60 s until line1..3, button or bar shows TEXT"},
    {L"watch", cmd_watch, "SECONDS: print line 1, line 3 and the bar whenever they change"},
    {L"engines", cmd_engines, "the process ids of running corvale.exe engines"},
    {L"drop", cmd_drop, "PATH: drop one file on the window"},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const Command* command = nullptr;
  if (argc >= 2) {
    for (const Command& c : kCommands) {
      if (wcscmp(argv[1], c.name) == 0) command = &c;
    }
  }
  if (!command) {
    print("usage: gui-probe <command> [argument]");
    for (const Command& c : kCommands) print("  " + utf8(c.name) + ": " + c.help);
    return 2;
  }
  // The engines outlive the window when something goes wrong, so they are counted without it.
  if (command->run == cmd_engines) return cmd_engines(nullptr, nullptr);
  HWND window = find_window(kWaitMs);
  if (!window) {
    print("window=missing");
    return 1;
  }
  return command->run(window, argc >= 3 ? argv[2] : nullptr);
}
