// Any bytes as a block archive file after its first byte 0x8C, read from a file by the block
// decompress pipeline on one to four threads (bits 4-5 of the first byte) under --max-output
// (bits 0-3). A success writes exactly the bytes it counts; a failure leaves nothing behind.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "io/progress_reader.h"
#include "stream/block_decompress.h"

namespace {

std::filesystem::path work_dir;

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A folder of this process's own, in memory where the system offers it.
  const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  work_dir = base / ("corvale-fuzz-block-archive-" + std::to_string(::getpid()));
  std::filesystem::create_directories(work_dir);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(work_dir, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::filesystem::path input = work_dir / "input";
  const std::filesystem::path output = work_dir / "output";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  const std::uint64_t threads = 1 + (data[0] >> 4 & 3);
  corvale::fuzz::check_decoder(
      [&](std::uint64_t limit) {
        std::filesystem::remove(output);
        corvale::ProgressReader reader = corvale::open_progress_reader(input, size - 1, false);
        try {
          const std::uint64_t written = corvale::decompress_block_archive_to_file(output, reader, limit, threads);
          std::string restored = read_file(output);
          FUZZ_CHECK(restored.size() == written);
          return restored;
        } catch (const corvale::Error&) {
          FUZZ_CHECK(!std::filesystem::exists(output));
          throw;
        }
      },
      corvale::fuzz::limit_from_byte(data[0]), size - 1);
  // Only the input and, after a success, the output: no temporary file stays.
  for (const auto& entry : std::filesystem::directory_iterator(work_dir)) {
    FUZZ_CHECK(entry.path() == input || entry.path() == output);
  }
  return 0;
}
