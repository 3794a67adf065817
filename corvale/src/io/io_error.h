#pragma once

#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace corvale {

// "<path as text>: <system error text>".
std::string io_error_with_path(const std::filesystem::path& path, const platform::OsError& error);

}  // namespace corvale
