// Any two texts (cut at the first line feed) as dotted versions: parsing never fails, and
// "newer" is a strict order between them.
#include <string>

#include "fuzz_support.h"
#include "logic/version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = corvale::fuzz::as_bytes(data, size);
  const std::size_t cut = text.find('\n');
  const auto a = corvale_gui::parse_version(text.substr(0, cut));
  const auto b = corvale_gui::parse_version(cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1));
  FUZZ_CHECK(!a.empty() && !b.empty());
  FUZZ_CHECK(!corvale_gui::is_newer_version(a, a));
  FUZZ_CHECK(!(corvale_gui::is_newer_version(a, b) && corvale_gui::is_newer_version(b, a)));
  if (a == b) FUZZ_CHECK(!corvale_gui::is_newer_version(a, b));
  return 0;
}
