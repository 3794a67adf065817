#pragma once
// The small layer over the operating system. Everything above it is written once for every
// platform; posix/ and win32/ each implement this header.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace corvale::platform {

// Arguments and paths stay in the system's own form (UTF-16 on Windows, bytes elsewhere) until
// they are shown as text.
using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

// A failed system call. what() is the system's message followed by " (os error N)".
class OsError : public std::runtime_error {
 public:
  OsError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// "<system message> (os error <code>)".
std::string system_error_text(int code);
[[noreturn]] void throw_last_os_error();

// Text for display: anything that is not valid Unicode becomes U+FFFD; the result is UTF-8.
std::string to_display_text(const NativeString& s);
inline std::string to_display_text(const std::filesystem::path& p) { return to_display_text(p.native()); }
bool is_valid_unicode(const NativeString& s);

// The system's own path comparison of two paths as typed: component by component, where
// repeated separators and inner "." components do not count (and on Windows '/' and '\' both
// separate). Letter case counts.
bool same_path_as_typed(const NativeString& a, const NativeString& b);

// The canonical path of an existing file, found through an open handle; nullopt when the file
// cannot be opened or the system cannot say.
std::optional<NativeString> canonical_path(const std::filesystem::path& p);

// The size of the file from its metadata, following links. Throws OsError.
std::uint64_t file_size(const std::filesystem::path& p);

// Asks the system to back a large block of memory with large pages where it can, before the
// block is written: fewer page faults and TLB misses on outputs of many megabytes. Advice only;
// a system that has none, or refuses, leaves the block as it was.
void advise_large_block(void* block, std::size_t size) noexcept;

// Asks the memory allocator to keep blocks of up to tens of megabytes that the program frees,
// for its next allocations, in place of handing them back to the system at once. A restore
// frees and allocates such blocks over and over (one set per block of a block archive), and
// on a fresh block every page is faulted in and cleared again. The memory kept was in use a
// moment before, so the peak stays what the restore's own budget allows.
void keep_freed_memory_for_reuse() noexcept;
// After keep_freed_memory_for_reuse: backs the heap's next growth with large pages where the
// system has them. A buffer that grows a piece at a time in the heap would otherwise be faulted
// in 4 KiB at a time before advise_large_block reaches it. For a restore on one thread, where
// page faults are much of the time; the heap's peak may end up a few MiB higher.
void back_heap_growth_with_large_pages() noexcept;
// Asks the memory allocator to hand blocks of a megabyte or more back to the system as soon as
// they are freed. Worker threads each allocate from a heap of their own, and a freed block kept
// in one is of no use to the others: several threads building and dropping buffers of tens of
// megabytes would otherwise hold the most each of them ever held.
void hand_back_large_freed_blocks() noexcept;

unsigned processor_count();  // as the system reports it; may be 0
std::uint64_t process_id();

// Moves from over to, replacing an existing file. Throws OsError.
void rename_replacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Deletes a file; failure is ignored.
void remove_file_quietly(const std::filesystem::path& p) noexcept;

// Writes all bytes to standard output / standard error, unbuffered and binary. Returns false
// when the stream cannot be written (the caller treats that as an internal fault).
bool write_stdout(std::string_view bytes);
bool write_stderr(std::string_view bytes);

// An open file, closed when dropped. Opened so that other processes may read, write and
// delete it meanwhile.
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Throws OsError.
  static File open_for_reading(const std::filesystem::path& p);
  // Creates or truncates for writing. Never follows a symbolic link at the path, so a link
  // planted at a temporary name cannot redirect the write. Throws OsError.
  static File create_for_writing(const std::filesystem::path& p);

  // One read of at most n bytes; 0 at the end of the file. Throws OsError.
  std::size_t read(void* dest, std::size_t n);
  // Writes all n bytes. Throws OsError.
  void write_all(const void* src, std::size_t n);
  // Closes now; reports a failure to close. Throws OsError.
  void close();
  bool is_open() const { return handle_ != kInvalid; }

 private:
  static constexpr std::intptr_t kInvalid = -1;
  explicit File(std::intptr_t h) : handle_(h) {}
  void close_quietly() noexcept;
  std::intptr_t handle_ = kInvalid;
};

}  // namespace corvale::platform
