// Any text through the update document's field lookup (the key: byte 0 gives its length, the
// next bytes are the key): a value found lies in the text, right after the quoted key.
#include <string>

#include "fuzz_support.h"
#include "logic/json_field.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest = corvale::fuzz::as_bytes(data + 1, size - 1);
  const std::string_view key = rest.substr(0, data[0] % 16);
  const std::string_view text = rest.substr(key.size());
  const std::optional<std::string> value = corvale_gui::json_string_field(text, key);
  if (value) {
    FUZZ_CHECK(value->find('"') == std::string::npos);
    const std::size_t at = text.find("\"" + std::string(key) + "\"");
    FUZZ_CHECK(at != std::string_view::npos);
    FUZZ_CHECK(text.find("\"" + *value + "\"", at + key.size() + 2) != std::string_view::npos);
  }
  return 0;
}
