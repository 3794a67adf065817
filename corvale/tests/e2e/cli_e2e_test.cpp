// The built program, run as a user would: exact exit status, standard output, standard error
// and the files left behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "corvale_version.h"
#include "support/archive_surgery.h"
#include "support/block_archive.h"
#include "support/files.h"
#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

// The help text and the command lines that fail before any file is opened are golden files
// that the Windows script reads too.
const fs::path kCliData = fs::path(CORVALE_SOURCE_DIR) / "corvale" / "tests" / "data" / "cli";

std::string read_text(const fs::path& path) {
  std::string text = test::read_file(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

const std::string kHelp = read_text(kCliData / "help.txt");

const std::string kVersion =
    "corvale " CORVALE_VERSION " (archive format " CORVALE_ARCHIVE_FORMAT_TEXT ", released " CORVALE_RELEASE_DATE ")\n";

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
class Cli : public test::ProgramFiles {
 protected:
  void SetUp() override {
    dir_.write("prose", "Nothing but words in here.\n");
    dir_.write("empty", "");
    dir_.write("out", "previous output");
    fs::create_directory(dir_ / "sub");
    fs::create_symlink("prose", dir_ / "link");
  }
};

struct Case {
  std::vector<std::string> args;
  Expected expected;
};

// The rows of errors.tsv: arguments, message and whether the help text follows it.
std::vector<Case> golden_error_cases() {
  std::ifstream in(kCliData / "errors.tsv", std::ios::binary);
  EXPECT_TRUE(in);
  std::vector<Case> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab + 1);
    EXPECT_NE(tab2, std::string::npos) << line;
    if (tab2 == std::string::npos) continue;
    Case c;
    std::istringstream words(line.substr(0, tab));
    for (std::string word; words >> word;) c.args.push_back(word);
    const std::string message = line.substr(tab + 1, tab2 - tab - 1);
    const bool help = line.substr(tab2 + 1) == "help";
    c.expected = {1, "", "Error: " + message + "\n" + (help ? "\n" + kHelp + "\n" : "")};
    cases.push_back(std::move(c));
  }
  EXPECT_GE(cases.size(), 20u);
  return cases;
}

TEST_F(Cli, CommandLineOutcomes) {
  std::vector<Case> cases = golden_error_cases();
  const std::vector<Case> native_cases = {
      {{}, {1, "", "Error: " + kHelp + "\n"}},
      {{"-h"}, {0, kHelp + "\n", ""}},
      {{"--help", "--bogus"}, {0, kHelp + "\n", ""}},
      {{"-V"}, {0, kVersion, ""}},
      {{"--version", "compress"}, {0, kVersion, ""}},
      {{"\xFF"}, {1, "", "Error: Unknown mode: \xEF\xBF\xBD\n\n" + kHelp + "\n"}},
      {{"compress", "-h"}, {0, kHelp + "\n", ""}},
      {{"decompress", "-i", "prose", "--help", "-x"}, {0, kHelp + "\n", ""}},
      {{"compress", "-i", "prose", "-o", "x", "\xC3("}, {1, "", error_line("Unknown argument: \xEF\xBF\xBD(")}},
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
      // Values with blanks, and an empty one (the golden rows hold the others).
      {{"compress", "-i", "prose", "-o", "x", "--max-output", " 1.5G"}, {1, "", error_line("Invalid size:  1.5G")}},
      {{"compress", "-i", "prose", "-o", "x", "--max-output", ""}, {1, "", error_line("Invalid size: ")}},
      {{"compress", "-i", "prose", "-o", "x", "--threads", " 8"}, {1, "", error_line("Invalid thread count:  8")}},
      // Accepted values get as far as the codecs.
      {{"compress", "-i", "prose", "-o", "x", "--threads", "+8"}, {1, "", kRefusal}},
      {{"compress", "-i", "prose", "-o", "x", "-j", "256", "--max-output", "0"}, {1, "", kRefusal}},
      {{"decompress", "-i", "empty", "-o", "x", "-j", "1", "--max-output", "0"},
       {0, "empty -> x: 0 -> 0 bytes\n", ""}},
  };
  cases.insert(cases.end(), native_cases.begin(), native_cases.end());
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

TEST_F(Cli, CompressRefusesWhatNoCodecTakesAndWritesNothing) {
  for (const char* input : {"empty", "prose"}) {
    for (const bool verify : {true, false}) {
      std::vector<std::string> args = {"compress", "-i", input, "-o", "out"};
      if (!verify) args.push_back("--no-verify");
      expect_outcome(run(args), {1, "", kRefusal}, std::string(input) + (verify ? "" : " --no-verify"));
      EXPECT_EQ(dir_.read("out"), "previous output");
    }
  }
  EXPECT_EQ(dir_.names(), (std::vector<std::string>{"empty", "link", "out", "prose", "sub"}));
}

TEST_F(Cli, SingleNumbersCompressAndRestore) {
  const struct {
    std::string input;
    unsigned char type;
  } cases[] = {
      {"42\n", 0x83},
      {"-0007\r\n", 0x83},
      {"5", 0x83},
      {"1267650600228229401496703205381\n", 0x88},  // 2^100 + 5
      {std::string(3000, '7') + "1\n", 0x85},
  };
  for (const auto& c : cases) {
    const std::string label = c.input.substr(0, 20);
    dir_.write("number", c.input);
    for (const bool verify : {true, false}) {
      std::vector<std::string> args = {"compress", "-i", "number", "-o", "out"};
      if (!verify) args.push_back("--no-verify");
      const test::ProcessResult r = run(args);
      const std::string archive = dir_.read("out");
      expect_outcome(r, {0, "number -> out: " + std::to_string(c.input.size()) + " -> " +
                                std::to_string(archive.size()) + " bytes\n", ""}, label);
      EXPECT_EQ(static_cast<unsigned char>(archive[0]), c.type) << label;
    }
    expect_outcome(run({"decompress", "-i", "out", "-o", "restored", "--max-output", std::to_string(c.input.size())}),
                   {0, "out -> restored: " + std::to_string(dir_.read("out").size()) + " -> " +
                           std::to_string(c.input.size()) + " bytes\n", ""}, label);
    EXPECT_EQ(dir_.read("restored"), c.input) << label;
    // One byte less than the number's text is not enough.
    dir_.write("restored", "old");
    expect_outcome(run({"decompress", "-i", "out", "-o", "restored", "--max-output", std::to_string(c.input.size() - 1)}),
                   {1, "", error_line("Output exceeds decompression limit")}, label);
    EXPECT_EQ(dir_.read("restored"), "old") << label;
  }
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
  expect_outcome(run({"decompress", "-i", "arc", "-o", "out"}), {1, "", error_line("Invalid block archive end")},
                 "0x8C");
  EXPECT_EQ(dir_.read("out"), "previous output");
  // Type 12 without the flag is a block list decoded in memory.
  dir_.write("arc", std::string("\x0C") + test::block_list({test::stored_archive("1 2\n"), test::stored_archive("3\n")}));
  expect_outcome(run({"decompress", "-i", "arc", "-o", "out"}), {0, "arc -> out: 20 -> 6 bytes\n", ""}, "0x0C");
  EXPECT_EQ(dir_.read("out"), "1 2\n3\n");
}

TEST_F(Cli, InputSizePicksTheCompressRoad) {
  {
    std::ofstream(dir_ / "at_limit").close();
    std::ofstream(dir_ / "over_limit").close();
    fs::resize_file(dir_ / "at_limit", 32u << 20);
    fs::resize_file(dir_ / "over_limit", (32u << 20) + 1);
  }
  // The block road creates its temporary file before reading; the in-memory road compresses
  // first and so refuses the zeros before it looks at the output.
  expect_outcome(run({"compress", "-i", "at_limit", "-o", "missing/out"}), {1, "", kRefusal}, "32 MiB");
  const test::ProcessResult r = run({"compress", "-i", "over_limit", "-o", "missing/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::regex_match(
      r.err, std::regex("Error: missing/\\.out\\.[1-9][0-9]*\\.tmp: No such file or directory \\(os error 2\\)\n")))
      << r.err;
  // Zeros have no cut point either: refused, with nothing left behind.
  expect_outcome(run({"compress", "-i", "over_limit", "-o", "out"}), {1, "", kRefusal}, "32 MiB + 1");
  EXPECT_EQ(dir_.read("out"), "previous output");
  EXPECT_EQ(dir_.names(), (std::vector<std::string>{"at_limit", "empty", "link", "out", "over_limit", "prose", "sub"}));
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
