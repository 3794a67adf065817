#include "logic/engine_args.h"

#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvale_gui {
namespace {

TEST(EngineArgs, EngineSplitterGivesBackTheSixArguments) {
  const wchar_t* paths[] = {
      L"C:\\data\\report.csv",
      L"C:\\my data\\report 1.csv",
      L"C:\\dir\\",            // a trailing backslash
      L"C:\\my dir\\",         // a trailing backslash inside quotes
      L"C:\\my dir\\\\",       // two of them
      L"a\"b",                 // a quote
      L"a \"b\" c",
      L"a\\\"b",               // a backslash before a quote
      L"a\\\\\" b",
      L"\"",
      L"\\\\server\\share\\x y",
      L"tab\there",
      L"-h",                   // looks like an option; the engine takes it as a value
      L"",
      L"  ",
      L"\u0444\u0430\u0439\u043B.csv",
  };
  for (std::size_t i = 0; i < std::size(paths); ++i) {
    const wchar_t* input = paths[i];
    for (const wchar_t* output : {L"out.corvale", L"C:\\out dir\\x\\"}) {
      SCOPED_TRACE(testing::Message() << "path " << i);
      const auto args = engine_arguments(JobMode::compress, input, output);
      const std::vector<std::wstring> expected = {L"compress", L"-i", input,
                                                  L"-o",       output, L"--progress"};
      EXPECT_EQ(args, expected);
      EXPECT_EQ(corvale::platform::split_command_line(
                    build_command_line(L"C:\\Program Files\\corvale\\corvale.exe", args)),
                expected);
    }
  }
}

TEST(EngineArgs, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(quote_argument(L"decompress"), L"decompress");
  EXPECT_EQ(quote_argument(L"C:\\dir\\"), L"C:\\dir\\");
  EXPECT_EQ(quote_argument(L"a b\\"), L"\"a b\\\\\"");
  EXPECT_EQ(quote_argument(L"a\"b"), L"a\\\"b");
  EXPECT_EQ(quote_argument(L""), L"\"\"");
  EXPECT_EQ(build_command_line(L"corvale.exe", engine_arguments(JobMode::decompress, L"x y", L"z")),
            L"\"corvale.exe\" decompress -i \"x y\" -o z --progress");
}

}  // namespace
}  // namespace corvale_gui
