#pragma once
// What the probe and its agent both need to read the front end's window: text in UTF-8 and
// the window's controls told apart by class and place.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace probe {

inline constexpr wchar_t kWindowClass[] = L"CorvaleProgress";

inline std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

// One line per value, so that line breaks inside a text stay visible.
inline std::string escaped(const std::wstring& text) {
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

inline std::wstring window_text(HWND window) {
  std::wstring text(32768, L'\0');
  int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

inline std::wstring class_name(HWND window) {
  wchar_t name[256];
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

inline bool same_class(HWND window, const wchar_t* name) {
  return _wcsicmp(class_name(window).c_str(), name) == 0;
}

struct Controls {
  HWND icon = nullptr;
  HWND title = nullptr, subtitle = nullptr, details = nullptr;  // the status lines, top down
  HWND bar = nullptr;
  HWND button = nullptr;
};

inline RECT rect_in_parent(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

inline Controls find_controls(HWND window) {
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

}  // namespace probe
