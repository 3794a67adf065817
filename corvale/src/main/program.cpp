// The console program: checks the whole command line, then runs one of four roads (compress
// in memory or to a block archive, decompress in memory or a block archive) and reports.

#include "main/program.h"

#include <exception>
#include <optional>
#include <string>

#include "archive/compress.h"
#include "archive/container.h"
#include "archive/verification.h"
#include "core/byte_buffer.h"
#include "core/error.h"
#include "io/atomic_output.h"
#include "io/console.h"
#include "io/io_error.h"
#include "io/output_file.h"
#include "io/progress_reader.h"
#include "main/candidate_workers.h"
#include "main/help_text.h"
#include "main/internal_fault.h"
#include "main/options.h"
#include "stream/block_compress.h"
#include "stream/block_decompress.h"
#include "stream/block_format.h"
#include "stream/block_list_parallel.h"

namespace corvale {
namespace {

using platform::NativeString;

// Inputs above this size are cut into a block archive instead of being compressed whole.
constexpr std::uint64_t kInMemoryCompressLimit = 33'554'432;  // 32 MiB
// Archives decoded in memory never produce more than this, whatever --max-output says.
constexpr std::uint64_t kInMemoryDecodeCap = 536'870'912;  // 512 MiB

// Everything the checks after the option loop settle before any byte of the input is read.
struct RunPlan {
  Mode mode = Mode::Compress;
  std::filesystem::path input;
  std::filesystem::path output;
  CompressFn compress = nullptr;
  std::optional<std::uint64_t> max_output;
  std::uint64_t threads = 1;
  bool progress = false;
  std::uint64_t input_size = 0;
};

struct Counts {
  std::uint64_t in = 0;
  std::uint64_t out = 0;
};

bool names_same_file(const NativeString& input, const NativeString& output) {
  if (platform::same_path_as_typed(input, output)) return true;
  const std::optional<NativeString> in = platform::canonical_path(input);
  if (!in) return false;
  const std::optional<NativeString> out = platform::canonical_path(output);
  return out && *in == *out;
}

RunPlan check_options(const Options& options) {
  if (!options.input) throw Error("Missing -i / --input");
  if (!options.output) throw Error("Missing -o / --output");
  if (names_same_file(*options.input, *options.output)) {
    throw Error("Input and output must be different files");
  }
  RunPlan plan;
  plan.mode = options.mode;
  plan.input = *options.input;
  plan.output = *options.output;
  plan.progress = options.progress;
  if (options.mode == Mode::Compress) {
    plan.compress = options.no_verify ? compress_best_archive : compress_verified;
  } else if (options.no_verify) {
    throw Error("--no-verify applies to compress only");
  }
  if (options.max_output) plan.max_output = parse_size(*options.max_output);
  plan.threads = options.threads ? parse_thread_count(*options.threads) : default_thread_count();
  try {
    plan.input_size = platform::file_size(plan.input);
  } catch (const platform::OsError& e) {
    throw Error(io_error_with_path(plan.input, e));
  }
  return plan;
}

ByteBuffer read_whole_input(ProgressReader& reader, const std::filesystem::path& input, ByteBuffer bytes = {}) {
  try {
    read_to_end(reader, bytes);
  } catch (const platform::OsError& e) {
    throw Error(io_error_with_path(input, e));
  }
  return bytes;
}

Counts compress_road(const RunPlan& plan, ProgressReader reader) {
  if (plan.input_size > kInMemoryCompressLimit) {
    // Every block allocates the same working memory again. A single archive keeps the system's
    // default: it allocates nothing twice, its peak is tighter, and a buffer that grows by
    // reallocation in the heap is copied where a mapped one is moved.
    platform::keep_freed_memory_for_reuse();
    const BlockArchiveCounts counts = compress_block_archive_to_file(plan.output, reader, plan.compress, plan.threads);
    return {counts.input_bytes, counts.output_bytes};
  }
  const ByteBuffer input = read_whole_input(reader, plan.input);
  // The input file is closed before the compressor runs: compression may take a while.
  reader.close();
  // One archive has no blocks to share among the threads: its measurements of candidate
  // encodings are shared instead.
  if (plan.threads > 1) platform::hand_back_large_freed_blocks();
  install_parallel_candidate_choice(static_cast<unsigned>(plan.threads));
  const std::string archive = plan.compress(input);
  write_output_atomically(plan.output, archive);
  return {input.size(), archive.size()};
}

Counts decompress_road(const RunPlan& plan, ProgressReader reader) {
  // The first byte alone picks the road, so a block archive is never read whole.
  ByteBuffer archive(1);
  std::size_t got;
  try {
    got = progress_reader_read(reader, archive.data(), 1);
  } catch (const platform::OsError& e) {
    throw Error(e.what());
  }
  archive.resize(got);
  if (got == 1 && static_cast<unsigned char>(archive.data()[0]) == kBlockArchiveFirstByte) {
    // On one thread every block allocates the same memory again. Several workers would each
    // keep the most they ever held: a higher peak for no gain in time.
    if (plan.threads <= 1) {
      platform::keep_freed_memory_for_reuse();
      platform::back_heap_growth_with_large_pages();
    }
    return {plan.input_size, decompress_block_archive_to_file(plan.output, reader, plan.max_output, plan.threads)};
  }
  // One archive's restore frees and allocates large buffers as it goes, and its peak has room.
  platform::keep_freed_memory_for_reuse();
  platform::back_heap_growth_with_large_pages();
  archive = read_whole_input(reader, plan.input, std::move(archive));
  std::uint64_t limit = kInMemoryDecodeCap;
  if (plan.max_output && *plan.max_output < limit) limit = *plan.max_output;
  // Written as it is restored: a large text is never held whole.
  StreamedOutputFile out(plan.output);
  const std::uint64_t restored = decode_archive_to(archive, limit, out);
  out.commit();
  return {archive.size(), restored};
}

int run(const std::vector<NativeString>& args) {
  const CommandLine command_line = parse_command_line(args);
  switch (command_line.action) {
    case CommandLine::Action::ShowHelp:
      print_stdout(std::string(kHelpText) + "\n");
      return 0;
    case CommandLine::Action::ShowVersion:
      print_stdout(version_line());
      return 0;
    case CommandLine::Action::Run:
      break;
  }
  const RunPlan plan = check_options(command_line.options);
  ProgressReader reader = open_progress_reader(plan.input, plan.input_size, plan.progress);
  const Counts counts = plan.mode == Mode::Compress ? compress_road(plan, std::move(reader))
                                                    : decompress_road(plan, std::move(reader));
  if (plan.progress) print_stderr(progress_line(plan.input_size, plan.input_size));
  print_stdout(platform::to_display_text(plan.input) + " -> " + platform::to_display_text(plan.output) + ": " +
               std::to_string(counts.in) + " -> " + std::to_string(counts.out) + " bytes\n");
  return 0;
}

}  // namespace

int run_program(const std::vector<NativeString>& args) {
  install_internal_fault_handler();
  install_parallel_block_list_decoder();
  set_large_block_advice(platform::advise_large_block);
  try {
    try {
      return run(args);
    } catch (const Error& e) {
      print_stderr(std::string("Error: ") + e.what() + "\n");
      return 1;
    }
  } catch (const std::exception& e) {
    return report_internal_fault(e.what());
  } catch (...) {
    return report_internal_fault("unknown exception");
  }
}

}  // namespace corvale
