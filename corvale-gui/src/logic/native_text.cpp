#include "logic/native_text.h"

#include "logic/utf16.h"

namespace corvale_gui {

bool is_valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (s.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

namespace {

// Bytes: a round trip through UTF-16 replaces each ill-formed part with one U+FFFD.
[[maybe_unused]] std::string to_text(const std::string& native) { return utf8_from_utf16(utf16_from_utf8(native)); }
[[maybe_unused]] std::string to_text(const std::wstring& native) {
  return utf8_from_utf16(std::u16string(native.begin(), native.end()));
}

[[maybe_unused]] void from_text(std::string_view text, std::string& out) { out.assign(text); }
[[maybe_unused]] void from_text(std::string_view text, std::wstring& out) {
  const std::u16string units = utf16_from_utf8(text);
  out.assign(units.begin(), units.end());
}

}  // namespace

std::string native_to_text(const std::filesystem::path::string_type& native) {
  return to_text(native);
}

std::filesystem::path::string_type text_to_native(std::string_view text) {
  std::filesystem::path::string_type out;
  from_text(text, out);
  return out;
}

}  // namespace corvale_gui
