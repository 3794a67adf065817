// Checks of the Windows side of the platform layer, run under Wine by scripts/test-windows:
//
//   platform_check FOLDER
//
// FOLDER is an empty scratch folder. Prints one "PASS name" or "FAIL name: detail" line per
// check and exits with 1 when any failed.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fs = std::filesystem;
using namespace corvale::platform;

namespace {

int failures = 0;

void check(bool ok, const std::string& name, const std::string& detail = "") {
  std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", name.c_str(), ok || detail.empty() ? "" : ": ",
              ok ? "" : detail.c_str());
  if (!ok) ++failures;
}

std::string text(const std::wstring& s) { return to_display_text(s); }

std::string read_all(const fs::path& p) {
  File f = File::open_for_reading(p);
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = f.read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

void write_file(const fs::path& p, const std::string& bytes) {
  File f = File::create_for_writing(p);
  f.write_all(bytes.data(), bytes.size());
  f.close();
}

// Runs body and reports the OsError it throws, or "" when it throws none.
template <typename F>
std::string os_error_of(F body) {
  try {
    body();
  } catch (const OsError& e) {
    return e.what();
  }
  return "";
}

void check_path_comparison() {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    bool same;
  };
  const Case cases[] = {
      {LR"(C:\data\in.txt)", L"C:/data/in.txt", true},
      {LR"(C:\data\in.txt)", LR"(C:\data\.\in.txt)", true},
      {LR"(C:\data\in.txt)", LR"(C:\\data\\\in.txt)", true},
      {LR"(C:\data\in.txt)", LR"(C:\data/./in.txt\)", true},
      {LR"(data\in.txt)", L"data/./in.txt", true},
      {LR"(C:\data\in.txt)", LR"(C:\Data\in.txt)", false},
      {LR"(C:\data\in.txt)", LR"(c:\data\in.txt)", false},
      {LR"(C:\data\in.txt)", LR"(C:\data\x\..\in.txt)", false},
      {LR"(C:\data\in.txt)", LR"(C:data\in.txt)", false},
      {LR"(C:\data\in.txt)", LR"(\data\in.txt)", false},
      {LR"(.\in.txt)", L"in.txt", false},
      {LR"(.\in.txt)", L"./in.txt", true},
      {L"in.txt", L"in.txt.", false},
      {LR"(\\server\share\in.txt)", L"//server/share/in.txt", true},
      {LR"(\\server\share\in.txt)", LR"(\\server\other\in.txt)", false},
      {LR"(\\?\C:\data\in.txt)", LR"(\\?\C:\data\in.txt)", true},
      {LR"(\\?\C:\data\in.txt)", LR"(\\?\C:\data\.\in.txt)", false},
      {LR"(\\?\C:\data\in.txt)", LR"(\\?\C:\data/in.txt)", false},
      {LR"(\\?\C:\data\in.txt)", LR"(C:\data\in.txt)", false},
  };
  for (const Case& c : cases) {
    check(same_path_as_typed(c.a, c.b) == c.same && same_path_as_typed(c.b, c.a) == c.same,
          "same_path_as_typed " + text(c.a) + (c.same ? " == " : " != ") + text(c.b));
  }
}

void check_text() {
  struct Case {
    std::wstring in;
    std::string shown;
    bool valid;
  };
  const Case cases[] = {
      {L"plain", "plain", true},
      {L"\u00e9\u4e2d", "\xC3\xA9\xE4\xB8\xAD", true},
      {L"\U0001F600", "\xF0\x9F\x98\x80", true},
      {std::wstring(L"a\xD800" L"b"), "a\xEF\xBF\xBD" "b", false},
      {std::wstring(L"a\xDC00"), "a\xEF\xBF\xBD", false},
      {std::wstring(L"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD", false},
      {std::wstring(L"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80", false},
  };
  int i = 0;
  for (const Case& c : cases) {
    ++i;
    check(to_display_text(c.in) == c.shown && is_valid_unicode(c.in) == c.valid,
          "display text case " + std::to_string(i), "shown as " + to_display_text(c.in));
  }
}

void check_error_text() {
  for (int code : {2, 3, 5}) {
    const std::string t = system_error_text(code);
    const std::string tail = " (os error " + std::to_string(code) + ")";
    const bool form = t.size() > tail.size() + 1 && t.compare(t.size() - tail.size(), tail.size(), tail) == 0 &&
                      t.find_first_of("\r\n") == std::string::npos;
    check(form, "system_error_text " + std::to_string(code), t);
  }
}

void check_files(const fs::path& dir) {
  const fs::path a = dir / L"a \u00e9.txt";
  write_file(a, "abcdef");
  check(read_all(a) == "abcdef" && corvale::platform::file_size(a) == 6, "write, read back and size");

  write_file(a, "x");
  check(read_all(a) == "x", "create_for_writing truncates an existing file");

  {
    File open = File::open_for_reading(a);
    const fs::path moved = dir / L"moved.txt";
    const bool renamed = ::MoveFileExW(a.c_str(), moved.c_str(), 0) && ::MoveFileExW(moved.c_str(), a.c_str(), 0);
    check(renamed, "a file open for reading can be renamed meanwhile");
    const fs::path b = dir / L"b.txt";
    write_file(b, "b");
    File open_b = File::open_for_reading(b);
    check(::DeleteFileW(b.c_str()) != 0, "a file open for reading can be deleted meanwhile");
  }

  const fs::path missing = dir / L"missing.txt";
  const std::string err = os_error_of([&] { corvale::platform::file_size(missing); });
  const std::string tail = " (os error 2)";
  check(err.size() > tail.size() && err.compare(err.size() - tail.size(), tail.size(), tail) == 0,
        "file_size of a missing file", err);
  check(os_error_of([&] { File::open_for_reading(missing); }) == err, "open of a missing file");

  const fs::path sub = dir / L"sub";
  fs::create_directory(sub);
  write_file(sub / L"c.txt", "c");
  const auto via_slash = canonical_path(dir.native() + L"/sub/c.txt");
  const auto via_dot = canonical_path(dir.native() + LR"(\.\sub\\c.txt)");
  const auto via_parent = canonical_path(dir.native() + LR"(\sub\..\sub\c.txt)");
  check(via_slash && via_dot && via_parent && *via_slash == *via_dot && *via_dot == *via_parent,
        "canonical_path is one path for every route to a file", via_slash ? text(*via_slash) : "none");
  check(canonical_path(a) && canonical_path(a) != via_slash, "canonical_path differs for different files");
  check(!canonical_path(missing), "canonical_path of a missing file is none");
  check(canonical_path(sub).has_value(), "canonical_path of a folder");

  const fs::path from = dir / L"from.tmp";
  write_file(from, "new");
  rename_replacing(from, a);
  check(read_all(a) == "new" && !fs::exists(from), "rename_replacing replaces an existing file");
  const std::string into_folder = os_error_of([&] {
    write_file(from, "new");
    rename_replacing(from, sub);
  });
  check(!into_folder.empty(), "rename_replacing over a folder fails", into_folder);
  remove_file_quietly(from);
  check(!fs::exists(from), "remove_file_quietly removes");
  remove_file_quietly(from);

  // A name planted as a second link to someone else's file must not be written through.
  const fs::path victim = dir / L"victim.txt";
  write_file(victim, "precious");
  const fs::path planted = dir / L".out.123.tmp";
  if (::CreateHardLinkW(planted.c_str(), victim.c_str(), nullptr)) {
    const std::string refused = os_error_of([&] { write_file(planted, "overwritten"); });
    check(!refused.empty() && read_all(victim) == "precious", "create_for_writing refuses a hard link", refused);
    ::DeleteFileW(planted.c_str());
  } else {
    check(false, "create_for_writing refuses a hard link", "cannot create a hard link here");
  }
  // Wine accepts the call but creates no link; only a real one tells anything.
  const bool linked = ::CreateSymbolicLinkW(planted.c_str(), victim.c_str(), 0) &&
                      ::GetFileAttributesW(planted.c_str()) != INVALID_FILE_ATTRIBUTES &&
                      (::GetFileAttributesW(planted.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (linked) {
    const std::string refused = os_error_of([&] { write_file(planted, "overwritten"); });
    check(!refused.empty() && read_all(victim) == "precious", "create_for_writing refuses a symbolic link", refused);
  } else {
    std::printf("SKIP create_for_writing refuses a symbolic link: the system made no link\n");
  }
  ::DeleteFileW(planted.c_str());

  // Long paths go through the verbatim form.
  fs::path deep = dir;
  for (int i = 0; i < 6; ++i) {
    deep /= std::wstring(60, static_cast<wchar_t>(L'a' + i));
    ::CreateDirectoryW((LR"(\\?\)" + deep.native()).c_str(), nullptr);
  }
  const fs::path long_file = deep / L"long.txt";
  const std::string long_error = os_error_of([&] { write_file(long_file, "long"); });
  check(long_error.empty() && read_all(long_file) == "long" && corvale::platform::file_size(long_file) == 4,
        "files beyond MAX_PATH", long_error);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: platform_check FOLDER\n");
    return 2;
  }
  check_path_comparison();
  check_text();
  check_error_text();
  check(processor_count() >= 1, "processor_count");
  check(process_id() == ::GetCurrentProcessId(), "process_id");
  try {
    check_files(fs::absolute(argv[1]));
  } catch (const std::exception& e) {
    check(false, "file checks", e.what());
  }
  return failures == 0 ? 0 : 1;
}
