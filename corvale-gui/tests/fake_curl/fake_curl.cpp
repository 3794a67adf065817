// A stand-in for the system's curl.exe in the update-check tests, also registered as the
// handler of web addresses so that the tests see what the shell was asked to open.
//
// Everything goes through the folder named by the environment variable CORVALE_FAKE_CURL_DIR:
//   NAME.log      each run appends one line: "ran", its own path, its arguments, each after a
//                 tab, and "stamp" or "no stamp" (whether %APPDATA%\corvale\update-check
//                 exists as it starts); NAME is its own file name without ".exe", so that a
//                 copy registered as the browser keeps a log of its own
//   document      written to standard output as it is, when present
//   stderr-bytes  that many bytes written to standard error first, when present
//   exit-code     the exit status, when present (else 0)

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring folder;

std::string read_file(const wchar_t* name, bool& found) {
  std::ifstream in((folder + L"\\" + name).c_str(), std::ios::binary);
  found = static_cast<bool>(in);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

void write_all(HANDLE handle, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 65536));
    if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr)) return;
    done += written;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* dir = _wgetenv(L"CORVALE_FAKE_CURL_DIR");
  if (dir == nullptr) return 2;
  folder = dir;

  wchar_t own[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::string line = "ran\t" + utf8(own);
  for (int i = 1; i < argc; ++i) line += "\t" + utf8(argv[i]);
  const wchar_t* app_data = _wgetenv(L"APPDATA");
  const bool stamp = app_data != nullptr &&
                     GetFileAttributesW((std::wstring(app_data) + L"\\corvale\\update-check").c_str()) !=
                         INVALID_FILE_ATTRIBUTES;
  line += stamp ? "\tstamp\n" : "\tno stamp\n";
  std::wstring name = own;
  name = name.substr(name.find_last_of(L'\\') + 1);
  name = name.substr(0, name.rfind(L'.'));
  std::ofstream((folder + L"\\" + name + L".log").c_str(), std::ios::binary | std::ios::app) << line;

  bool found = false;
  const std::string noise = read_file(L"stderr-bytes", found);
  if (found) write_all(GetStdHandle(STD_ERROR_HANDLE), std::string(std::strtoull(noise.c_str(), nullptr, 10), 'e'));
  const std::string document = read_file(L"document", found);
  if (found) write_all(GetStdHandle(STD_OUTPUT_HANDLE), document);
  const std::string exit_code = read_file(L"exit-code", found);
  return found ? std::atoi(exit_code.c_str()) : 0;
}
