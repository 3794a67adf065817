#include "main/internal_fault.h"

#include <cstdlib>
#include <exception>
#include <string>

#include "platform/platform.h"

namespace corvale {
namespace {

[[noreturn]] void terminate_with_fault() {
  std::string description = "terminate called without an active exception";
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      description = e.what();
    } catch (...) {
      description = "unknown exception";
    }
  }
  // _Exit: other threads may still be running, so no destructors or exit handlers.
  std::_Exit(report_internal_fault(description.c_str()));
}

}  // namespace

int report_internal_fault(const char* description) {
  // When standard error itself is gone there is nobody left to tell.
  (void)platform::write_stderr(std::string("internal fault: ") + description + "\n");
  return kInternalFaultStatus;
}

void install_internal_fault_handler() { std::set_terminate(terminate_with_fault); }

}  // namespace corvale
