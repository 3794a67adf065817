#pragma once
// The state of the current or last conversion job. Portable (no window types), so
// that the status display can be computed and tested away from Windows.

#include <cstdint>
#include <string>
#include <variant>

namespace corvale_gui {

namespace job {
struct Idle {};       // before the first job; never entered again
struct Running {};    // a job is in progress
struct Done {         // the engine exited with status 0
  std::uint64_t input_size = 0;   // 0 where the size could not be read
  std::uint64_t output_size = 0;
};
struct Error {        // the job failed; shown in status line 3
  std::string message;
};
struct Cancelled {};  // the user cancelled the job
}  // namespace job

using JobStatus = std::variant<job::Idle, job::Running, job::Done, job::Error, job::Cancelled>;

}  // namespace corvale_gui
