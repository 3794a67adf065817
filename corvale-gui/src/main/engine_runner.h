#pragma once
// Running corvale.exe: the child process with its standard error on a pipe, the reading of that
// pipe, and the file look-ups a job needs. No shared state is touched here.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "logic/output_names.h"
#include "main/gui_state.h"

namespace corvale_gui {

struct FileMetadata {
  bool is_directory = false;
  std::uint64_t size = 0;
};

// The metadata of what the path names, links followed; nothing when it cannot be read.
std::optional<FileMetadata> read_metadata(const std::filesystem::path& path);

// "<system message> (os error <code>)".
std::string system_error_text(DWORD code);

// corvale.exe beside the running program, or the bare name for the system's search.
std::filesystem::path engine_program_path();

// A started engine. The process handles go to the shared state; the read end of its error
// stream stays with the caller, who closes it.
struct StartedEngine {
  EngineProcess process;
  DWORD process_id = 0;
  HANDLE error_stream = nullptr;
};

// Starts the engine on one file, with no window, the null device as standard input and output
// and standard error on a pipe. On failure, error holds the system's text.
std::optional<StartedEngine> start_engine(const std::filesystem::path& program, JobMode mode,
                                          const std::filesystem::path& input,
                                          const std::filesystem::path& output, std::string& error);

// Reads the error stream to its end, a read error or the first line that is not UTF-8, and
// hands over each line without its line end.
void read_error_lines(HANDLE error_stream, const std::function<void(std::string_view)>& on_line);

// The engine's temporary output beside the output: ".<output name>.<pid>.tmp".
std::filesystem::path engine_temporary_path(const std::filesystem::path& output, DWORD process_id);

// Ends a recorded engine (exit code 1); failures are ignored, the handles stay open.
void terminate_engine(const EngineProcess& process);

void close_engine_handles(EngineProcess& process);

}  // namespace corvale_gui
