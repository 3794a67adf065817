#include "io/output_file.h"

#include <optional>

#include "core/error.h"
#include "io/atomic_output.h"
#include "io/io_error.h"

namespace corvale {
namespace {

constexpr std::size_t kWriteBufferSize = 8192;

}  // namespace

BlockOutputFile::BlockOutputFile(const std::filesystem::path& output) : output_(output) {
  const std::optional<std::filesystem::path> temp = temporary_output_path(output);
  if (!temp) throw Error("Invalid output path");
  temp_ = *temp;
  try {
    file_ = platform::File::create_for_writing(temp_);
  } catch (const platform::OsError& e) {
    platform::remove_file_quietly(temp_);
    throw Error(io_error_with_path(temp_, e));
  }
  buffer_.reserve(kWriteBufferSize);
}

BlockOutputFile::~BlockOutputFile() {
  if (committed_) return;
  // What is still buffered would only be deleted with the file.
  file_ = platform::File();
  platform::remove_file_quietly(temp_);
}

void BlockOutputFile::write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() <= kWriteBufferSize) {
    buffer_.append(bytes);
    return;
  }
  flush();
  if (bytes.size() >= kWriteBufferSize) {
    try {
      file_.write_all(bytes.data(), bytes.size());
    } catch (const platform::OsError& e) {
      throw Error(e.what());
    }
  } else {
    buffer_.append(bytes);
  }
}

void BlockOutputFile::flush() {
  try {
    file_.write_all(buffer_.data(), buffer_.size());
  } catch (const platform::OsError& e) {
    throw Error(e.what());
  }
  buffer_.clear();
}

void BlockOutputFile::commit() {
  flush();
  try {
    file_.close();
  } catch (const platform::OsError& e) {
    throw Error(e.what());
  }
  try {
    platform::rename_replacing(temp_, output_);
  } catch (const platform::OsError& e) {
    throw Error(io_error_with_path(output_, e));
  }
  committed_ = true;
}

void StreamedOutputFile::write(std::string_view bytes) {
  if (!file_) file_.emplace(output_);
  file_->write(bytes);
}

void StreamedOutputFile::commit() {
  if (!file_) file_.emplace(output_);
  file_->commit();
}

}  // namespace corvale
