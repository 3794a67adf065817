#pragma once
// The output of a block pipeline, which is written piece by piece and may fail at any point:
// the pieces go through an 8 KiB buffer into the temporary file beside the output, which only
// commit() moves over the output. Dropped before that, it deletes the temporary file, so a
// failed run leaves the output path as it was and nothing else behind.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/output_sink.h"
#include "platform/platform.h"

namespace corvale {

class BlockOutputFile {
 public:
  // Creates (or truncates) the temporary file. Throws Error: "Invalid output path", or the
  // temporary path, ": " and the system's error text.
  explicit BlockOutputFile(const std::filesystem::path& output);
  ~BlockOutputFile();
  BlockOutputFile(const BlockOutputFile&) = delete;
  BlockOutputFile& operator=(const BlockOutputFile&) = delete;

  // Throws Error with the system's error text alone.
  void write(std::string_view bytes);
  // Flushes and closes (a failure: the system's error text alone), then moves the file over the
  // output (a failure: the output path, ": " and the system's error text). Throws Error.
  void commit();

 private:
  void flush();

  std::filesystem::path output_;
  std::filesystem::path temp_;
  platform::File file_;
  std::string buffer_;
  bool committed_ = false;
};

// One archive's restored text as its decoder hands it on. The temporary file is only created
// with the first piece, so an archive found unsound before then leaves no trace; starting over
// deletes it.
class StreamedOutputFile final : public OutputSink {
 public:
  explicit StreamedOutputFile(std::filesystem::path output) : output_(std::move(output)) {}

  // Throws Error as BlockOutputFile does.
  void write(std::string_view bytes) override;
  void restart() override { file_.reset(); }
  // Creates the file if nothing was written, then as BlockOutputFile::commit. Throws Error.
  void commit();

 private:
  std::filesystem::path output_;
  std::optional<BlockOutputFile> file_;
};

}  // namespace corvale
