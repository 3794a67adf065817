#pragma once
// Whole files read back as bytes.

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace corvale::test {

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path.string());
  // In one read: files of a hundred MiB are read back, also under the sanitizers.
  std::string out(std::filesystem::file_size(path), '\0');
  f.read(out.data(), static_cast<std::streamsize>(out.size()));
  if (f.gcount() != static_cast<std::streamsize>(out.size())) throw std::runtime_error("short read of " + path.string());
  return out;
}

}  // namespace corvale::test
