// The built program, run as a user would: exact exit status, standard output, standard error
// and the files left behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "support/archive_surgery.h"
#include "support/process_runner.h"
#include "support/temp_dir.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

const std::string kHelp =
    "Lossless compression of telemetry, time series, tables and logs\n"
    "\n"
    "Usage: corvale <compress|decompress> -i <input> -o <output> [--max-output <size>]\n"
    "               [--threads <n>] [--no-verify]\n"
    "\n"
    "  -i, --input       Input file\n"
    "  -o, --output      Output file\n"
    "  --max-output      Decompressed size limit, e.g. 10G (default: 512 MiB for ordinary\n"
    "                    archives, 64 GiB for block archives)\n"
    "  -j, --threads     Threads for files over 32 MiB (default: number of cores, at most 8);\n"
    "                    the archive does not depend on it\n"
    "  --progress        Report progress on stderr as \"PROGRESS <bytes done> <bytes total>\"\n"
    "  --no-verify       Skip the check that the new archive restores the input exactly\n"
    "                    (compress only; faster, not recommended)\n"
    "  -h, --help        Show help\n"
    "  -V, --version     Show version\n"
    "\n"
    "Input: one number, numbers separated by spaces, tabs, line breaks or , ; | [ ], a\n"
    "table (CSV, TSV) with a numeric column, or a text log with numbers (web server,\n"
    "application, system logs); anything else is rejected. Files over 32 MiB\n"
    "are compressed and restored block by block, in parallel, with bounded memory.";

const std::string kVersion = "corvale 0.1.0 (archive format 1, released 2026-11-11)\n";

const std::string kRefusal =
    "Error: Input is not numeric: expected a number (integer, fraction or 1.5e-7), several numbers separated by "
    "spaces, tabs, line breaks or , ; | [ ], a table (CSV, TSV) with at least one numeric column, or a text log "
    "(at least 8 lines of space-separated fields with numbers)\n";

std::string error_line(const std::string& message) { return "Error: " + message + "\n"; }

struct Expected {
  int status;
  std::string out;
  std::string err;
};

void expect_outcome(const test::ProcessResult& r, const Expected& e, const std::string& label) {
  EXPECT_EQ(r.status, e.status) << label;
  EXPECT_EQ(r.out, e.out) << label;
  EXPECT_EQ(r.err, e.err) << label;
}

// A folder with a few inputs in it, and the program run inside it.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("prose", "Nothing but words in here.\n");
    dir_.write("empty", "");
    dir_.write("out", "previous output");
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("prose", dir_ / "link");
  }

  test::ProcessResult run(const std::vector<std::string>& args, test::ProcessOptions options = {}) {
    options.cwd = dir_.path();
    return test::run_process(CORVALE_EXE, args, options);
  }

  test::TempDir dir_;
};

TEST_F(Cli, CommandLineOutcomes) {
  const std::string unknown_mode = "Error: Unknown mode: Compress\n\n" + kHelp + "\n";
  const struct {
    std::vector<std::string> args;
    Expected expected;
  } cases[] = {
      {{}, {1, "", "Error: " + kHelp + "\n"}},
      {{"-h"}, {0, kHelp + "\n", ""}},
      {{"--help", "--bogus"}, {0, kHelp + "\n", ""}},
      {{"-V"}, {0, kVersion, ""}},
      {{"--version", "compress"}, {0, kVersion, ""}},
      {{"Compress", "-i", "a", "-o", "b"}, {1, "", unknown_mode}},
      {{"-x"}, {1, "", "Error: Unknown mode: -x\n\n" + kHelp + "\n"}},
      {{"\xFF"}, {1, "", "Error: Unknown mode: \xEF\xBF\xBD\n\n" + kHelp + "\n"}},
      {{"compress", "-h"}, {0, kHelp + "\n", ""}},
      {{"decompress", "-i", "prose", "--help", "-x"}, {0, kHelp + "\n", ""}},
      {{"compress", "-x", "-h"}, {1, "", error_line("Unknown argument: -x")}},
      {{"compress", "-V"}, {1, "", error_line("Unknown argument: -V")}},
      {{"compress", "--input=prose"}, {1, "", error_line("Unknown argument: --input=prose")}},
      {{"compress", "-io", "prose"}, {1, "", error_line("Unknown argument: -io")}},
      {{"compress", "-i", "prose", "-o", "x", "\xC3("}, {1, "", error_line("Unknown argument: \xEF\xBF\xBD(")}},
      {{"compress", "-i", "a", "-i", "b", "-o", "c"}, {1, "", error_line("Duplicate argument: -i")}},
      {{"compress", "-i", "a", "--input", "b"}, {1, "", error_line("Duplicate argument: --input")}},
      {{"compress", "-i", "a", "-i"}, {1, "", error_line("Duplicate argument: -i")}},
      {{"compress", "-j", "2", "--threads", "3"}, {1, "", error_line("Duplicate argument: --threads")}},
      {{"compress", "--max-output", "1", "--max-output"}, {1, "", error_line("Duplicate argument: --max-output")}},
      {{"compress", "-o"}, {1, "", error_line("Missing value for -o")}},
      {{"compress", "-i", "prose", "--threads"}, {1, "", error_line("Missing value for --threads")}},
      {{"compress", "-i", "-o", "b"}, {1, "", error_line("Unknown argument: b")}},
      {{"compress"}, {1, "", error_line("Missing -i / --input")}},
      {{"compress", "-o", "x", "--progress", "--progress"}, {1, "", error_line("Missing -i / --input")}},
      {{"decompress", "-i", "prose"}, {1, "", error_line("Missing -o / --output")}},
      // The same file, by every route.
      {{"compress", "-i", "prose", "-o", "prose"}, {1, "", error_line("Input and output must be different files")}},
      {{"compress", "-i", "prose", "-o", "./prose"}, {1, "", error_line("Input and output must be different files")}},
      {{"compress", "-i", "sub/../prose", "-o", "prose"},
       {1, "", error_line("Input and output must be different files")}},
      {{"compress", "-i", "link", "-o", "prose"}, {1, "", error_line("Input and output must be different files")}},
      {{"compress", "-i", "prose", "-o", "link"}, {1, "", error_line("Input and output must be different files")}},
      // Equal as typed is enough, even for a file that does not exist.
      {{"compress", "-i", "sub//ghost", "-o", "sub/./ghost/"},
       {1, "", error_line("Input and output must be different files")}},
      // The checks after the loop run in a fixed order.
      {{"decompress", "-i", "ghost", "-o", "x", "--no-verify", "--max-output", "bad", "-j", "0"},
       {1, "", error_line("--no-verify applies to compress only")}},
      {{"decompress", "-i", "ghost", "-o", "x", "--max-output", "bad", "-j", "0"},
       {1, "", error_line("Invalid size: bad")}},
      {{"compress", "-i", "ghost", "-o", "x", "-j", "0"}, {1, "", error_line("Invalid thread count: 0")}},
      {{"compress", "-i", "ghost", "-o", "x"}, {1, "", error_line("ghost: No such file or directory (os error 2)")}},
      {{"compress", "-i", "sub/ghost", "-o", "x", "--max-output", " 10gb "},
       {1, "", error_line("sub/ghost: No such file or directory (os error 2)")}},
      {{"compress", "-i", "prose\xFF", "-o", "x"},
       {1, "", error_line("prose\xEF\xBF\xBD: No such file or directory (os error 2)")}},
      // A folder passes the checks but cannot be read; only the first read of a decompress
      // reports the system error without the path.
      {{"compress", "-i", "sub", "-o", "x"}, {1, "", error_line("sub: Is a directory (os error 21)")}},
      {{"decompress", "-i", "sub", "-o", "x"}, {1, "", error_line("Is a directory (os error 21)")}},
      // Sizes and thread counts are checked in both modes, also where they are never used.
      {{"compress", "-i", "prose", "-o", "x", "--max-output", "KB"}, {1, "", error_line("Invalid size: KB")}},
      {{"compress", "-i", "prose", "-o", "x", "--max-output", "20000000T"},
       {1, "", error_line("Invalid size: 20000000T")}},
      {{"compress", "-i", "prose", "-o", "x", "--max-output", " 1.5G"}, {1, "", error_line("Invalid size:  1.5G")}},
      {{"compress", "-i", "prose", "-o", "x", "--max-output", "512MiB"}, {1, "", error_line("Invalid size: 512MiB")}},
      {{"compress", "-i", "prose", "-o", "x", "--max-output", ""}, {1, "", error_line("Invalid size: ")}},
      {{"compress", "-i", "prose", "-o", "x", "--threads", "257"}, {1, "", error_line("Invalid thread count: 257")}},
      {{"compress", "-i", "prose", "-o", "x", "--threads", "-1"}, {1, "", error_line("Invalid thread count: -1")}},
      {{"compress", "-i", "prose", "-o", "x", "--threads", " 8"}, {1, "", error_line("Invalid thread count:  8")}},
      {{"decompress", "-i", "prose", "-o", "x", "-j", "-h"}, {1, "", error_line("Invalid thread count: -h")}},
      // Accepted values get as far as the codecs.
      {{"compress", "-i", "prose", "-o", "x", "--threads", "+8"}, {1, "", kRefusal}},
      {{"compress", "-i", "prose", "-o", "x", "-j", "256", "--max-output", "0"}, {1, "", kRefusal}},
      {{"decompress", "-i", "empty", "-o", "x", "-j", "1", "--max-output", "0"},
       {0, "empty -> x: 0 -> 0 bytes\n", ""}},
  };
  for (const auto& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += "[" + a + "] ";
    expect_outcome(run(c.args), c.expected, label);
    // Only a successful run may leave a file behind, and never a temporary one.
    std::vector<std::string> names = dir_.names();
    if (c.expected.status == 0 && fs::exists(dir_ / "x")) {
      fs::remove(dir_ / "x");
      names = dir_.names();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"empty", "link", "out", "prose", "sub"})) << label;
    EXPECT_EQ(dir_.read("out"), "previous output") << label;
  }
}

TEST_F(Cli, CompressRefusesEverythingForNowAndWritesNothing) {
  dir_.write("number", "42\n");
  for (const char* input : {"empty", "prose", "number"}) {
    for (const bool verify : {true, false}) {
      std::vector<std::string> args = {"compress", "-i", input, "-o", "out"};
      if (!verify) args.push_back("--no-verify");
      expect_outcome(run(args), {1, "", kRefusal}, std::string(input) + (verify ? "" : " --no-verify"));
      EXPECT_EQ(dir_.read("out"), "previous output");
    }
  }
  EXPECT_EQ(dir_.names(), (std::vector<std::string>{"empty", "link", "number", "out", "prose", "sub"}));
}

TEST_F(Cli, DecompressOutcomes) {
  using test::be32;
  using test::make_archive;
  using test::stored_archive;
  const std::string abc_flagged = stored_archive("abc");
  const struct {
    std::string label;
    std::string archive;
    std::vector<std::string> extra;
    int status;
    std::string output_or_error;  // the restored bytes on success, the message on failure
  } cases[] = {
      {"empty archive", "", {}, 0, ""},
      {"empty archive under a zero limit", "", {"--max-output", "0"}, 0, ""},
      {"stored with checksum", abc_flagged, {}, 0, "abc"},
      {"stored without checksum", stored_archive("abc", false), {}, 0, "abc"},
      {"stored without checksum is not checked", std::string("\x00", 1) + "abc\x01\x02\x03\x04", {}, 0,
       "abc\x01\x02\x03\x04"},
      {"checksum of empty data", std::string("\x80\x00\x00\x00\x00", 5), {}, 0, ""},
      {"flag with four bytes", std::string("\x80\x00\x00\x00", 4), {}, 1, "Missing archive checksum"},
      {"flag alone", "\x80", {}, 1, "Missing archive checksum"},
      {"wrong checksum", make_archive(0x80, "abc", "abd"), {}, 1, "Archive checksum mismatch: the archive is damaged"},
      {"unknown type", "\x07" "abc", {}, 1, "Unknown archive type: 7"},
      {"unknown flagged type", std::string("\x8F\x00\x00\x00\x00", 5), {}, 1, "Unknown archive type: 15"},
      {"limit reached exactly", abc_flagged, {"--max-output", "3"}, 0, "abc"},
      {"limit passed", abc_flagged, {"--max-output", "2"}, 1, "Output exceeds decompression limit"},
      {"zero limit", abc_flagged, {"--max-output", "0"}, 1, "Output exceeds decompression limit"},
      {"limit with unit", abc_flagged, {"--max-output", " 1kb "}, 0, "abc"},
      {"threads do not matter here", abc_flagged, {"-j", "1"}, 0, "abc"},
  };
  for (const auto& c : cases) {
    dir_.write("arc", c.archive);
    dir_.write("out", "previous output");
    std::vector<std::string> args = {"decompress", "-i", "arc", "-o", "out"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const test::ProcessResult r = run(args);
    if (c.status == 0) {
      expect_outcome(r,
                     {0, "arc -> out: " + std::to_string(c.archive.size()) + " -> " +
                             std::to_string(c.output_or_error.size()) + " bytes\n", ""},
                     c.label);
      EXPECT_EQ(dir_.read("out"), c.output_or_error) << c.label;
    } else {
      expect_outcome(r, {1, "", error_line(c.output_or_error)}, c.label);
      EXPECT_EQ(dir_.read("out"), "previous output") << c.label;
    }
    EXPECT_EQ(dir_.names(), (std::vector<std::string>{"arc", "empty", "link", "out", "prose", "sub"})) << c.label;
  }
}

TEST_F(Cli, InMemoryDecodingIsCappedAt512MiB) {
  // A sparse file of zeros reads as a stored archive without checksum whose payload is one
  // byte over the cap; a larger --max-output does not lift the cap.
  const std::uintmax_t cap = 512ull << 20;
  {
    std::ofstream(dir_ / "big").close();
    fs::resize_file(dir_ / "big", cap + 2);
  }
  for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--max-output", "1G"}}) {
    std::vector<std::string> args = {"decompress", "-i", "big", "-o", "out"};
    args.insert(args.end(), extra.begin(), extra.end());
    expect_outcome(run(args), {1, "", error_line("Output exceeds decompression limit")}, "cap");
    EXPECT_EQ(dir_.read("out"), "previous output");
  }
}

TEST_F(Cli, FirstByteChoosesTheBlockRoad) {
  // 0x8C never reaches the in-memory decoder, which would call this archive too short.
  dir_.write("arc", std::string("\x8C\x00", 2));
  expect_outcome(run({"decompress", "-i", "arc", "-o", "out"}),
                 {1, "", error_line("Decompressing block archives is not supported yet")}, "0x8C");
  dir_.write("arc", "\x0C");  // type 12 without the flag goes through the in-memory decoder
  const test::ProcessResult r = run({"decompress", "-i", "arc", "-o", "out"});
  EXPECT_NE(r.err, error_line("Decompressing block archives is not supported yet"));
  EXPECT_EQ(dir_.read("out"), "previous output");
}

TEST_F(Cli, InputSizePicksTheCompressRoad) {
  {
    std::ofstream(dir_ / "at_limit").close();
    std::ofstream(dir_ / "over_limit").close();
    fs::resize_file(dir_ / "at_limit", 32u << 20);
    fs::resize_file(dir_ / "over_limit", (32u << 20) + 1);
  }
  expect_outcome(run({"compress", "-i", "at_limit", "-o", "out"}), {1, "", kRefusal}, "32 MiB");
  expect_outcome(run({"compress", "-i", "over_limit", "-o", "out"}),
                 {1, "", error_line("Compressing inputs over 32 MiB into block archives is not supported yet")},
                 "32 MiB + 1");
}

// Standard error of a --progress run: the first line at open, interval lines that never go
// backwards or past the total, then what the run ends with.
void expect_progress(const std::string& err, std::uint64_t total, const std::string& ending) {
  ASSERT_TRUE(err.ends_with(ending)) << err;
  const std::string lines = err.substr(0, err.size() - ending.size());
  const std::regex line_re("PROGRESS (0|[1-9][0-9]*) (0|[1-9][0-9]*)\n");
  const std::string first = "PROGRESS 0 " + std::to_string(total) + "\n";
  ASSERT_TRUE(lines.starts_with(first)) << err;
  std::uint64_t last = 0;
  for (std::sregex_iterator it(lines.begin() + first.size(), lines.end(), line_re), end; it != end; ++it) {
    const std::uint64_t done = std::stoull((*it)[1]);
    EXPECT_EQ(std::stoull((*it)[2]), total) << err;
    EXPECT_GE(done, last) << err;
    EXPECT_LE(done, total) << err;
    last = done;
  }
  EXPECT_TRUE(std::regex_match(lines, std::regex("(PROGRESS [0-9]+ [0-9]+\n)*"))) << err;
}

TEST_F(Cli, ProgressLines) {
  const std::string payload(300000, '7');
  const std::string archive = test::stored_archive(payload);
  dir_.write("arc", archive);
  const std::string total = std::to_string(archive.size());
  test::ProcessResult r = run({"decompress", "--progress", "-i", "arc", "-o", "restored"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "arc -> restored: " + total + " -> 300000 bytes\n");
  expect_progress(r.err, archive.size(), "PROGRESS " + total + " " + total + "\n");
  EXPECT_EQ(dir_.read("restored"), payload);

  r = run({"decompress", "-i", "empty", "-o", "e", "--progress"});
  EXPECT_EQ(r.status, 0);
  expect_progress(r.err, 0, "PROGRESS 0 0\n");

  // A failed run has no final line, only its error.
  r = run({"compress", "-i", "empty", "-o", "e2", "--progress"});
  EXPECT_EQ(r.status, 1);
  expect_progress(r.err, 0, kRefusal);
  r = run({"decompress", "-i", "prose", "-o", "p", "--progress"});
  EXPECT_EQ(r.status, 1);
  expect_progress(r.err, 27, error_line("Unknown archive type: 78"));

  // Checks that fail print no progress at all: the input is not opened.
  r = run({"compress", "-i", "prose", "-o", "x", "--progress", "-j", "0"});
  EXPECT_EQ(r.err, error_line("Invalid thread count: 0"));
}

TEST_F(Cli, OutputPaths) {
  dir_.write("arc", test::stored_archive("abc"));
  // No file name at all.
  for (const char* output : {"..", "sub/..", "/"}) {
    expect_outcome(run({"decompress", "-i", "arc", "-o", output}), {1, "", error_line("Invalid output path")},
                   output);
  }
  // A missing folder: the message names the temporary file, not the output.
  const test::ProcessResult r = run({"decompress", "-i", "arc", "-o", "nowhere/res"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Error: nowhere/\\.res\\.[1-9][0-9]*\\.tmp: No such file or directory \\(os error 2\\)\n")))
      << r.err;
  // An existing folder cannot be replaced; its content and the folder around it stay as they were.
  dir_.write("sub/keep", "k");
  expect_outcome(run({"decompress", "-i", "arc", "-o", "sub"}), {1, "", error_line("sub: Is a directory (os error 21)")},
                 "folder");
  EXPECT_EQ(dir_.names(), (std::vector<std::string>{"arc", "empty", "link", "out", "prose", "sub"}));
  EXPECT_EQ(dir_.read("sub/keep"), "k");
  // Folders and names that are not valid text.
  expect_outcome(run({"decompress", "-i", "arc", "-o", "sub/r\xFF"}), {0, "arc -> sub/r\xEF\xBF\xBD: 8 -> 3 bytes\n", ""},
                 "odd name");
  EXPECT_EQ(dir_.read("sub/r\xFF"), "abc");
  expect_outcome(run({"decompress", "-i", "arc", "-o", fs::absolute(dir_ / "abs").string()}),
                 {0, "arc -> " + fs::absolute(dir_ / "abs").string() + ": 8 -> 3 bytes\n", ""}, "absolute");
}

TEST_F(Cli, FailedWriteOfStandardOutputIsAnInternalFault) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  test::ProcessOptions to_full;
  to_full.stdout_file = "/dev/full";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-h"}, {"-V"}, {"decompress", "-i", "empty", "-o", "x"}}) {
    const test::ProcessResult r = run(args, to_full);
    EXPECT_EQ(r.status, 101) << args[0];
    EXPECT_EQ(r.err, "internal fault: failed printing to standard output\n") << args[0];
  }
}

}  // namespace
}  // namespace corvale
