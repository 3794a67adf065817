#pragma once
// A fresh folder for one test, removed with everything in it at the end.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/files.h"

namespace corvale::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvale-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  void write(const std::filesystem::path& name, std::string_view bytes) const {
    std::ofstream f(path_ / name, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write test file");
  }

  std::string read(const std::filesystem::path& name) const { return read_file(path_ / name); }

  // The names in the folder, or in one of its subfolders, sorted.
  std::vector<std::string> names(const std::filesystem::path& subfolder = {}) const {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / subfolder)) {
      out.push_back(entry.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace corvale::test
