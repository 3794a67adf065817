#include "io/io_error.h"

namespace corvale {

std::string io_error_with_path(const std::filesystem::path& path, const platform::OsError& error) {
  return platform::to_display_text(path) + ": " + error.what();
}

}  // namespace corvale
