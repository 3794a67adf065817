#pragma once
// Every text the front end shows, in English and Russian. {} marks where a value goes.

#include <initializer_list>
#include <string>
#include <string_view>

#include "corvale_version.h"

namespace corvale_gui {

inline constexpr std::string_view kVersion = CORVALE_VERSION;

struct Texts {
  std::string_view window_title;          // also the caption of every message box
  std::string_view menu_about;
  std::string_view menu_check_updates;
  std::string_view menu_check_automatically;
  std::string_view about;                 // version; the support line follows
  std::string_view newer_version;         // new version, own version
  std::string_view check_failed;          // error text
  std::string_view latest_version;        // own version
  std::string_view site_unreachable;
  std::string_view idle_title;
  std::string_view idle_subtitle;
  std::string_view compressing;           // input file name
  std::string_view extracting;            // input file name
  std::string_view output_line;           // output file name
  std::string_view running_line;          // done, total, time left
  std::string_view estimating_time;
  std::string_view under_a_minute_left;
  std::string_view minutes_left;          // minutes
  std::string_view done_line;             // input size, output size, percentage
  std::string_view cancelled;
  std::string_view button_cancel;
  std::string_view button_close;
  std::string_view bytes_unit;
  std::string_view units[4];              // KB, MB, GB, TB
  std::string_view folder_given;
  std::string_view engine_start_failed;   // system error text
  std::string_view not_numeric;
  std::string_view engine_failed;
};

const Texts& texts(bool english);

// Replaces each {} of pattern, left to right, with the next value; surplus {} stay as they are.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);

// The About box text, support line included.
std::string about_text(bool english);

}  // namespace corvale_gui
