#pragma once

#include <filesystem>
#include <optional>

namespace corvale_gui {

// The running program's own file, or nothing when the system cannot say.
std::optional<std::filesystem::path> own_program_path();

}  // namespace corvale_gui
