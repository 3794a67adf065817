// A stand-in for corvale.exe in the job tests: plays back a script on standard error, so that
// the front end's reading of the engine (line ends, messages, progress, exit codes) can be
// driven through cases the real engine never produces on purpose.
//
// The script is the file named by the environment variable CORVALE_FAKE_ENGINE_SCRIPT. Each
// line is written to standard error as it is, line feed included, except two directives:
//   @sleep MS   waits MS milliseconds
//   @exit N     ends with exit status N (the end of the script ends with 0)

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

int wmain() {
  const char* script_path = std::getenv("CORVALE_FAKE_ENGINE_SCRIPT");
  if (script_path == nullptr) return 2;
  std::ifstream in(script_path, std::ios::binary);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  std::size_t pos = 0;
  while (pos < script.size()) {
    std::size_t end = script.find('\n', pos);
    end = end == std::string::npos ? script.size() : end + 1;
    const std::string line = script.substr(pos, end - pos);
    pos = end;
    if (line.rfind("@sleep ", 0) == 0) {
      Sleep(static_cast<DWORD>(std::atoi(line.c_str() + 7)));
    } else if (line.rfind("@exit ", 0) == 0) {
      return std::atoi(line.c_str() + 6);
    } else {
      DWORD written = 0;
      WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
  }
  return 0;
}
