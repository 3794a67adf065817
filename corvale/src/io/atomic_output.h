#pragma once
// Outputs reach their final name only complete: they are written to a temporary file beside
// the output and moved over it at the end. The temporary name is known to the front end, which
// removes it after cancelling a run.

#include <filesystem>
#include <optional>
#include <string_view>

namespace corvale {

// The output's folder joined with ".<file name>.<process id>.tmp"; nullopt when the output path
// names no file (a root, "..", a path ending in "..").
std::optional<std::filesystem::path> temporary_output_path(const std::filesystem::path& output);

// Throws Error: "Invalid output path", "<temporary path>: <system error>" when the temporary
// file cannot be created, the system error alone when writing fails, "<output path>: <system
// error>" when the move fails. After a failure no temporary file is left behind.
void write_output_atomically(const std::filesystem::path& output, std::string_view bytes);

}  // namespace corvale
