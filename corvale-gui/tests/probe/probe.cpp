// Reads the front end's window back for the window tests: finds it by its class, prints
// what its controls show, presses its button, reads its message boxes, closes it. What only
// the window's own process can read (its menu, its controls' fonts) goes through the agent,
// a DLL that the probe loads into that process (probe_agent.cpp).
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

#include "window_reading.h"

namespace {

using namespace probe;
constexpr DWORD kWaitMs = 30000;

// The progress bar's position. A message sent to a window whose thread is tearing it down may
// never be answered; the probe must not hang on it, so a read that times out gives "?".
std::string bar_position(HWND bar) {
  DWORD_PTR position = 0;
  if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position)) return "?";
  return std::to_string(position);
}

void print(const std::string& line) {
  std::string out = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
            nullptr);
}

HWND find_window(DWORD wait_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    // Shown only once its controls exist and hold their first texts.
    HWND window = FindWindowW(kWindowClass, nullptr);
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() - start >= wait_ms) return nullptr;
    Sleep(100);
  }
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
        std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
        (IsWindowVisible(control) ? "" : " hidden"));
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
  print("bar=" + (c.bar ? bar_position(c.bar) : std::string("<missing>")));
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
  // A box that answers a check for updates comes after the client has run: on a loaded machine
  // starting a process takes Wine a while.
  HWND box = find_message_box(window, kWaitMs);
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

// SECONDS: waits that long for a message box that should not come: prints "message_box=none",
// or the box (answered with IDOK) and exits with status 1.
int cmd_no_message_box(HWND window, const wchar_t* argument) {
  const DWORD wait_ms = argument ? static_cast<DWORD>(wcstod(argument, nullptr) * 1000) : 3000;
  HWND box = find_message_box(window, wait_ms);
  if (!box) {
    print("message_box=none");
    return 0;
  }
  print("caption=" + escaped(window_text(box)));
  print("text=" + escaped(message_box_text(box)));
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 1;
}

int cmd_about(HWND window, const wchar_t*) {
  PostMessageW(window, WM_SYSCOMMAND, 0x110, 0);
  return cmd_message_box(window, nullptr);
}

// ---- the agent inside the window's process --------------------------------------------

std::wstring own_folder() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Loads the agent (gui-probe-agent.dll, beside the probe) into the window's process with a
// thread that runs LoadLibraryW there, hands it request and prints its report.
int run_agent(HWND window, const std::string& request) {
  const std::wstring folder = own_folder();
  const std::wstring agent = folder + L"gui-probe-agent.dll";
  const std::wstring report_path = folder + L"agent-report.txt";
  DeleteFileW(report_path.c_str());
  HANDLE file = CreateFileW((folder + L"agent-request.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
  CloseHandle(file);

  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                   PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                               FALSE, pid);
  if (!process) return 1;
  const std::size_t bytes = (agent.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  // kernel32 lies at the same address in every process, so LoadLibraryW does too.
  auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  HANDLE thread = nullptr;
  if (remote && WriteProcessMemory(process, remote, agent.c_str(), bytes, nullptr)) {
    thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
  }
  if (thread) {
    WaitForSingleObject(thread, kWaitMs);
    CloseHandle(thread);
  }
  CloseHandle(process);
  if (!thread) {
    print("agent=not loaded");
    return 1;
  }
  const DWORD start = GetTickCount();
  for (;;) {
    file = CreateFileW(report_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    if (GetTickCount() - start >= kWaitMs) {
      print("agent=no report");
      return 1;
    }
    Sleep(50);
  }
  std::string report;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) report.append(buffer, got);
  CloseHandle(file);
  DWORD ignored = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), report.data(), static_cast<DWORD>(report.size()), &ignored, nullptr);
  return 0;
}

int cmd_menu(HWND window, const wchar_t*) { return run_agent(window, "menu\n"); }

// FILE: the agent's request lines (see probe_agent.cpp), passed on as they are.
int cmd_agent(HWND window, const wchar_t* argument) {
  if (!argument) return 2;
  HANDLE file = CreateFileW(argument, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  std::string request;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) request.append(buffer, got);
  CloseHandle(file);
  return run_agent(window, request);
}

// ---- job sub-commands ----------------------------------------------------------------

std::wstring control_value(const Controls& c, const std::wstring& key) {
  HWND control = key == L"line1" ? c.title : key == L"line2" ? c.subtitle
               : key == L"line3" ? c.details : key == L"button" ? c.button : nullptr;
  if (key == L"bar" && c.bar) {
    const std::string position = bar_position(c.bar);
    return std::wstring(position.begin(), position.end());
  }
  return control ? window_text(control) : std::wstring();
}

// KEY=TEXT: waits up to 60 s until line1, line2, line3, button or bar contains TEXT, then
// prints the state; exit status 1 when it never does.
int cmd_wait_state(HWND window, const wchar_t* argument) {
  if (!argument || !wcschr(argument, L'=')) return 2;
  const std::wstring wanted = argument;  // KEY=TEXT
  const std::wstring key = wanted.substr(0, wanted.find(L'=')), text = wanted.substr(wanted.find(L'=') + 1);
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

// One reading of line 1, line 3, the bar and the window's visibility, as the watch prints it.
std::string watched_state(HWND window) {
  Controls c = find_controls(window);
  std::string now = "seen=";
  now += escaped(control_value(c, L"line1"));
  now += '|';
  now += escaped(control_value(c, L"line3"));
  now += "|bar=";
  now += utf8(control_value(c, L"bar"));
  now += IsWindowVisible(window) ? "|visible" : "|hidden";
  return now;
}

struct Watch {
  HWND window;
  DWORD start;
  CRITICAL_SECTION print_lock;
};

DWORD WINAPI print_watched_states(void* data) {
  auto* watch = static_cast<Watch*>(data);
  std::string last;
  for (;;) {
    std::string now = watched_state(watch->window);
    if (now != last) {
      EnterCriticalSection(&watch->print_lock);
      print(now + "|ms=" + std::to_string(GetTickCount() - watch->start));
      LeaveCriticalSection(&watch->print_lock);
    }
    last = now;
    Sleep(10);
  }
}

// SECONDS: prints "seen=<line 1>|<line 3>|bar=<position>|visible or hidden|ms=<since start>"
// each time one of them changes, until the window is gone or the time is up, then gone= and
// gone_ms=. A window being destroyed is hidden first (Wine may then take a while), and reading
// a control of a window being torn down can stall however it is asked; so the controls are read
// on a thread of their own, and whether the window is still there is asked here, where nothing
// else can hold it up.
int cmd_watch(HWND window, const wchar_t* argument) {
  const DWORD wait_ms = argument ? static_cast<DWORD>(wcstod(argument, nullptr) * 1000) : kWaitMs;
  static Watch watch;
  watch.window = window;
  watch.start = GetTickCount();
  InitializeCriticalSection(&watch.print_lock);
  HANDLE reader = CreateThread(nullptr, 0, print_watched_states, &watch, 0, nullptr);
  if (!reader) return 1;
  while (IsWindow(window) && GetTickCount() - watch.start < wait_ms) Sleep(5);
  // The reader may be stuck in a call: it prints nothing more once the verdict is out, and the
  // process ends without waiting for it.
  EnterCriticalSection(&watch.print_lock);
  print(IsWindow(window) ? "gone=0" : "gone=1");
  print("gone_ms=" + std::to_string(GetTickCount() - watch.start));
  ExitProcess(0);
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
    {L"menu", cmd_menu, "the window menu's items: id, text, check mark"},
    {L"agent", cmd_agent, "FILE: pass a request to the agent inside the window's process"},
    {L"message-box", cmd_message_box, "[ID]: print the open message box, answer it (IDOK)"},
    {L"no-message-box", cmd_no_message_box, "[SECONDS]: check that no message box opens (3 s)"},
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
