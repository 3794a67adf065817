// Arguments and paths are UTF-16 here and may hold unpaired surrogates, which the file system
// accepts but no text encoding can carry; they become U+FFFD only when shown.

#include "platform/platform.h"

namespace corvale::platform {
namespace {

bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string to_display_text(const NativeString& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (is_high_surrogate(c) && i + 1 < s.size() && is_low_surrogate(s[i + 1])) {
      const char32_t hi = c - 0xD800, lo = s[i + 1] - 0xDC00;
      append_utf8(out, 0x10000 + (hi << 10) + lo);
      ++i;
    } else if (is_high_surrogate(c) || is_low_surrogate(c)) {
      append_utf8(out, 0xFFFD);
    } else {
      append_utf8(out, static_cast<char32_t>(c));
    }
  }
  return out;
}

bool is_valid_unicode(const NativeString& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (is_high_surrogate(s[i]) && i + 1 < s.size() && is_low_surrogate(s[i + 1])) {
      ++i;
    } else if (is_high_surrogate(s[i]) || is_low_surrogate(s[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace corvale::platform
