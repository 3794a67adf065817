// Any bytes through the compressor and back.
#include "roundtrip_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  corvale::fuzz::check_round_trip(corvale::fuzz::as_bytes(data, size));
  return 0;
}
