// The probe's agent: a DLL that the probe loads into the front end's process, to read what
// only that process can (its window menu, the fonts of its controls). It answers the request
// file beside itself with a report file beside itself, then unloads.
//
// Request lines (UTF-8; in TEXT, \n is a line break and \\ a backslash):
//   menu                  one "item=<id in hex>|<text>|checked or unchecked" line per menu item
//   fit<TAB>KEY<TAB>TEXT  whether TEXT would show whole in the control KEY (line1, line2,
//                         line3 or button), measured with the control's own font against its
//                         client area: "fit=KEY|ok or cut|<needed w>x<h>|<room w>x<h>|TEXT"
//   shown                 the same for the text each of the four controls shows now

#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "window_reading.h"

namespace {

using namespace probe;

std::wstring own_folder(HMODULE self) {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      out += text[i] == 'n' ? '\n' : text[i];
    } else {
      out += text[i];
    }
  }
  return out;
}

void report_menu(HWND window, std::string& report) {
  HMENU menu = GetSystemMenu(window, FALSE);
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = L"";
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = 255;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) {
      continue;
    }
    char id[16];
    wsprintfA(id, "0x%X", info.wID);
    report += std::string("item=") + id + "|" + escaped(text) + "|" +
              ((info.fState & MFS_CHECKED) ? "checked" : "unchecked") + "\n";
  }
}

HWND control_for(const Controls& c, const std::string& key) {
  return key == "line1" ? c.title : key == "line2" ? c.subtitle : key == "line3" ? c.details
       : key == "button" ? c.button : nullptr;
}

// Measures as the control draws: a static with an ellipsis style, or a button, on one line;
// any other static wrapped at blanks. A button's text also leaves room for its edges and the
// focus rectangle.
void report_fit(HWND control, const std::string& key, const std::wstring& text, std::string& report) {
  if (!control) {
    report += "fit=" + key + "|missing\n";
    return;
  }
  RECT client;
  GetClientRect(control, &client);
  const bool button = same_class(control, L"Button");
  const bool one_line = button || (GetWindowLongW(control, GWL_STYLE) & SS_ELLIPSISMASK) != 0;
  SIZE room{client.right, client.bottom};
  if (button) {
    room.cx -= 2 * (2 * GetSystemMetrics(SM_CXEDGE));
    room.cy -= 2 * GetSystemMetrics(SM_CYEDGE);
  }
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT need{0, 0, room.cx, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (one_line ? DT_SINGLELINE : DT_WORDBREAK));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  const bool fits = need.right <= room.cx && need.bottom <= room.cy;
  report += "fit=" + key + "|" + (fits ? "ok" : "cut") + "|" + std::to_string(need.right) + "x" +
            std::to_string(need.bottom) + "|" + std::to_string(room.cx) + "x" +
            std::to_string(room.cy) + "|" + escaped(text) + "\n";
}

DWORD WINAPI answer(void* self_pointer) {
  auto self = static_cast<HMODULE>(self_pointer);
  const std::wstring folder = own_folder(self);
  std::ifstream in((folder + L"agent-request.txt").c_str(), std::ios::binary);
  std::string report;
  HWND window = FindWindowW(kWindowClass, nullptr);
  const Controls controls = find_controls(window);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "menu") {
      report_menu(window, report);
    } else if (line == "shown") {
      for (const char* key : {"line1", "line2", "line3", "button"}) {
        HWND control = control_for(controls, key);
        report_fit(control, key, control ? window_text(control) : std::wstring(), report);
      }
    } else if (line.rfind("fit\t", 0) == 0) {
      const std::size_t tab = line.find('\t', 4);
      if (tab == std::string::npos) continue;
      const std::string key = line.substr(4, tab - 4);
      report_fit(control_for(controls, key), key, wide(unescaped(line.substr(tab + 1))), report);
    }
  }
  in.close();
  // Written aside and moved into place, so that the probe never reads half a report.
  const std::wstring partial = folder + L"agent-report.partial";
  std::ofstream((partial).c_str(), std::ios::binary) << report;
  MoveFileExW(partial.c_str(), (folder + L"agent-report.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
  FreeLibraryAndExitThread(self, 0);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  // The work waits for a thread of its own: nothing that may need the loader lock runs here.
  if (reason == DLL_PROCESS_ATTACH) {
    if (HANDLE thread = CreateThread(nullptr, 0, answer, self, 0, nullptr)) CloseHandle(thread);
  }
  return TRUE;
}
