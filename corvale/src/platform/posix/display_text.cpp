// Arguments and paths are raw bytes here; they become text only to be shown, with every
// ill-formed UTF-8 sequence replaced so the console and the front end always get valid UTF-8.

#include "platform/platform.h"

namespace corvale::platform {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed sequence at s[i], or 0 with *bad set to the length of the
// maximal ill-formed subpart that one U+FFFD replaces (so "\xE2\x82" followed by 'A' is one
// replacement character, not two).
std::size_t well_formed_length(const NativeString& s, std::size_t i, std::size_t* bad) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) return 1;
  std::size_t width = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
  if (b >= 0xC2 && b <= 0xDF) {
    width = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    width = 3;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    width = 4;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    *bad = 1;
    return 0;
  }
  for (std::size_t k = 1; k < width; ++k) {
    const bool first = k == 1;
    if (i + k >= s.size() || byte(i + k) < (first ? lo : 0x80) || byte(i + k) > (first ? hi : 0xBF)) {
      *bad = k;
      return 0;
    }
  }
  return width;
}

}  // namespace

std::string to_display_text(const NativeString& s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t bad = 0;
    const std::size_t n = well_formed_length(s, i, &bad);
    if (n > 0) {
      out.append(s, i, n);
      i += n;
    } else {
      out += kReplacement;
      i += bad;
    }
  }
  return out;
}

bool is_valid_unicode(const NativeString& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t bad = 0;
    const std::size_t n = well_formed_length(s, i, &bad);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace corvale::platform
