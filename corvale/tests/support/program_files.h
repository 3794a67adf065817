#pragma once
// A fixture for end-to-end tests of the built program on files in a fresh folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/temp_dir.h"

namespace corvale::test {

class ProgramFiles : public ::testing::Test {
 protected:
  // The program run in the folder.
  ProcessResult run(const std::vector<std::string>& args, ProcessOptions options = {}) {
    options.cwd = dir_.path();
    return run_process(CORVALE_EXE, args, options);
  }

  // Compresses text, checks the archive's type byte, restores it and returns the archive.
  std::string round_trip(const std::string& name, const std::string& text, unsigned char type_byte) {
    dir_.write(name, text);
    const ProcessResult c = run({"compress", "-i", name, "-o", name + ".cv"});
    EXPECT_EQ(c.status, 0) << name << ": " << c.err;
    EXPECT_EQ(c.err, "") << name;
    const std::string archive = dir_.read(name + ".cv");
    EXPECT_FALSE(archive.empty()) << name;
    if (archive.empty()) return archive;
    EXPECT_EQ(static_cast<unsigned char>(archive[0]), type_byte) << name;
    const ProcessResult d = run({"decompress", "-i", name + ".cv", "-o", name + ".out"});
    EXPECT_EQ(d.status, 0) << name << ": " << d.err;
    EXPECT_TRUE(dir_.read(name + ".out") == text) << name << ": restored other bytes";
    return archive;
  }

  // Restores archive bytes under the extra options and expects them refused with the message,
  // nothing written.
  void expect_refused(const std::string& archive, const std::string& message,
                      const std::vector<std::string>& extra = {}) {
    dir_.write("refused.cv", archive);
    std::vector<std::string> args{"decompress", "-i", "refused.cv", "-o", "refused.out"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ProcessResult r = run(args);
    EXPECT_EQ(r.status, 1) << message;
    EXPECT_EQ(r.err, "Error: " + message + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "refused.out")) << message;
  }

  TempDir dir_;
};

}  // namespace corvale::test
