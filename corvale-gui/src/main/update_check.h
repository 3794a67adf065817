#pragma once
// The settings folder and the update check. Two empty files are the only settings: a marker
// that turns the automatic check off, and a stamp whose time holds that check to once a day.
// The platform's web client fetches the update document; the window shows the outcome when
// the check thread posts kUpdateCheckDone.

#include <windows.h>

#include <filesystem>

namespace corvale_gui {

std::filesystem::path settings_dir();

// True unless the marker "no-auto-update" is there (its metadata can be read).
bool auto_update_enabled();

// Whether the stamp's time lets an automatic check run now.
bool automatic_check_due_now();

// Stamps the attempt, runs the web client, stores the outcome in the shared state and posts
// kUpdateCheckDone to window with wParam 1 for a check the user asked for, 0 otherwise.
void check_for_updates(HWND window, bool manual);

// check_for_updates on a thread of its own that nobody joins.
void start_update_check(HWND window, bool manual);

// The system-menu item "Check for updates automatically": creates or deletes the marker, and
// the item's check mark follows, whether or not the file could be changed.
void toggle_automatic_checks(HWND window);

}  // namespace corvale_gui
