#pragma once
// What a queued file becomes: the mode (by the extension "corvale" in any ASCII case) and a
// free output name beside it. Portable, so that the naming rules are tested away from Windows.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvale_gui {

using NativeString = std::filesystem::path::string_type;

enum class JobMode { compress, decompress };

// The engine's mode word: "compress" or "decompress".
std::string_view mode_word(JobMode mode);

// The last named component of a path. Trailing separators and trailing "." components do not
// count; a root, an empty path, "." and a path ending in ".." have no file name.
std::optional<NativeString> path_file_name(const std::filesystem::path& path);

// A file name cut at its last dot. A name without a dot, or whose only dot is its first
// character, has no extension; a name ending in a dot has an empty one.
struct NameParts {
  NativeString stem;
  std::optional<NativeString> extension;
};
NameParts split_file_name(const NativeString& name);

struct JobPlan {
  JobMode mode;
  std::filesystem::path output;  // before unique_output_path
};

// ".corvale" (any ASCII case) is extracted to the path without it; anything else is compressed
// to the whole path with ".corvale" appended, never replacing an extension.
JobPlan plan_job(const std::filesystem::path& input);

// Whether something exists at a path in the sense that its metadata can be read.
using MetadataReadable = std::function<bool(const std::filesystem::path&)>;

// path itself when nothing is there, else the first of "stem 2.ext", "stem 3.ext", ... (or
// "stem 2", ... without an extension) that is free.
std::filesystem::path unique_output_path(const std::filesystem::path& path,
                                         const MetadataReadable& metadata_readable);

// The path's file name as UTF-8 text, anything that is not valid Unicode replaced by U+FFFD;
// empty when the path has no file name.
std::string file_name_text(const std::filesystem::path& path);

}  // namespace corvale_gui
