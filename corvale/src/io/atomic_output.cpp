#include "io/atomic_output.h"

#include <string>
#include <vector>

#include "core/error.h"
#include "io/io_error.h"
#include "platform/platform.h"

namespace corvale {
namespace {

std::filesystem::path path_from_utf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

std::optional<std::filesystem::path> temporary_output_path(const std::filesystem::path& output) {
  // Trailing separators and "." components do not hide the name: "dir/out/" and "out/." both
  // name "out", which the final move then judges.
  std::vector<std::filesystem::path> parts(output.begin(), output.end());
  while (!parts.empty() && (parts.back().empty() || parts.back() == ".")) parts.pop_back();
  if (parts.empty()) return std::nullopt;
  const std::filesystem::path& name = parts.back();
  if (name == ".." || name.has_root_name() || name.has_root_directory()) return std::nullopt;

  std::filesystem::path folder;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder /= parts[i];
  if (folder.empty()) folder = ".";
  const std::string temp_name = "." + platform::to_display_text(name) + "." +
                                std::to_string(platform::process_id()) + ".tmp";
  return folder / path_from_utf8(temp_name);
}

void write_output_atomically(const std::filesystem::path& output, std::string_view bytes) {
  const std::optional<std::filesystem::path> temp = temporary_output_path(output);
  if (!temp) throw Error("Invalid output path");

  platform::File file;
  try {
    file = platform::File::create_for_writing(*temp);
  } catch (const platform::OsError& e) {
    platform::remove_file_quietly(*temp);
    throw Error(io_error_with_path(*temp, e));
  }
  try {
    file.write_all(bytes.data(), bytes.size());
    file.close();
  } catch (const platform::OsError& e) {
    file = platform::File();
    platform::remove_file_quietly(*temp);
    throw Error(e.what());
  }
  try {
    platform::rename_replacing(*temp, output);
  } catch (const platform::OsError& e) {
    platform::remove_file_quietly(*temp);
    throw Error(io_error_with_path(output, e));
  }
}

}  // namespace corvale
