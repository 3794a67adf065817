// Any bytes through the whole-archive decoder (container, checksum, every payload type), under
// the output limit that the first byte picks.
#include "archive/container.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view archive = corvale::fuzz::as_bytes(data + 1, size - 1);
  corvale::fuzz::check_decoder([&](std::uint64_t limit) { return corvale::decode_archive(archive, limit); },
                               corvale::fuzz::limit_from_byte(data[0]), archive.size());
  return 0;
}
