// Any bytes as the engine's command line (arguments cut at each 0 byte), and the first argument
// alone as a size and a thread count. Sizes ignore the white space around them and the case of
// their unit, so those must never change a result.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "main/options.h"

namespace {

template <class Parse>
std::optional<std::uint64_t> value_or_none(Parse&& parse, const std::string& text) {
  try {
    return parse(text);
  } catch (const corvale::Error&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  try {
    (void)corvale::parse_command_line(args);
  } catch (const corvale::Error&) {
  }

  const std::string& text = args.front();
  const auto size_of = [](const std::string& s) { return corvale::parse_size(s); };
  const std::optional<std::uint64_t> value = value_or_none(size_of, text);
  FUZZ_CHECK(value_or_none(size_of, " \t" + text + "\r\n") == value);
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  FUZZ_CHECK(value_or_none(size_of, upper) == value);

  const std::optional<std::uint64_t> threads = value_or_none([](const std::string& s) { return corvale::parse_thread_count(s); }, text);
  FUZZ_CHECK(!threads || (*threads >= 1 && *threads <= 256));
  return 0;
}
