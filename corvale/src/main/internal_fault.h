#pragma once
// Faults that are nobody's input error: a broken invariant, an exception that escapes a worker
// thread, a console that cannot be written. They end the process with status 101 and their
// description on standard error, never with an "Error: " line.

namespace corvale {

inline constexpr int kInternalFaultStatus = 101;

// Writes "internal fault: <description>" on standard error (ignoring failure) and returns 101.
int report_internal_fault(const char* description);

// Makes std::terminate (for instance an exception leaving a std::thread) end the process the
// same way instead of aborting it.
void install_internal_fault_handler();

}  // namespace corvale
