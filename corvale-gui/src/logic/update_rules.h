#pragma once
// The update check's rules that touch no window and no network: where the settings live, when
// an automatic check is due, how the web client is asked for the update document, and what
// the document means for the shared state.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale_gui {

// The settings folder: "corvale" inside the user's application-data folder (taken as the
// system gives it), or inside the current folder when there is none.
std::filesystem::path settings_folder(const std::optional<std::filesystem::path>& app_data);

inline constexpr std::string_view kNoAutoUpdateMarker = "no-auto-update";
inline constexpr std::string_view kUpdateCheckStamp = "update-check";

// A day and a second in 100-nanosecond units, the unit of the system's file times.
inline constexpr std::uint64_t kAutomaticCheckInterval = 864'010'000'000;

// Whether an automatic check is due, given the stamp's modification time (none when it cannot
// be read) and now, both in 100-nanosecond units since the same epoch. A stamp from the future
// does not hold a check back.
bool automatic_check_due(std::optional<std::uint64_t> stamp_time, std::uint64_t now);

// The update document's address: the update server chosen at build time and "/version.json".
std::string update_document_address();

// The web client's arguments after its name: silent, fail on an error status, follow
// redirects, at most 10 seconds, our user agent, the document's address.
std::vector<std::string> update_client_arguments();

// More than this from the web client is no update document.
inline constexpr std::size_t kMaxUpdateDocumentBytes = std::size_t{1} << 20;

// The download address, when it is one the shell may be asked to open: only an https address,
// never a program, a share or a file.
std::optional<std::string> accepted_download_address(std::optional<std::string> address);

struct UpdateOutcome {
  bool failed = true;
  bool newer = false;
  std::string version;                  // as found in the document
  std::optional<std::string> download;  // only an accepted address
};

// What the web client's standard output says (none when the client failed to start or ended
// with a non-zero code). Bytes that are not UTF-8 are read as U+FFFD.
UpdateOutcome read_update_document(const std::optional<std::string>& output);

// The shared state's update fields.
struct UpdateFields {
  std::optional<std::string>& version;
  std::optional<std::string>& download;
  std::optional<std::string>& error;
  bool& keep_open;
};

// Stores an outcome: a failure sets the error text; a newer version sets version and download
// and keeps the window open; nothing newer clears the error. A newer version once found is
// never forgotten.
void store_update_outcome(const UpdateOutcome& outcome, bool english, UpdateFields fields);

}  // namespace corvale_gui
