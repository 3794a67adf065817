#include "main/internal_fault.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace corvale {
namespace {

TEST(InternalFaultDeathTest, ExceptionEscapingAThreadEndsWithStatus101) {
  EXPECT_EXIT(
      {
        install_internal_fault_handler();
        std::thread([] { throw std::runtime_error("worker lost its block"); }).join();
      },
      ::testing::ExitedWithCode(101), "^internal fault: worker lost its block\n$");
}

TEST(InternalFaultDeathTest, TerminateWithoutAnExceptionIsAFaultToo) {
  EXPECT_EXIT(
      {
        install_internal_fault_handler();
        std::terminate();
      },
      ::testing::ExitedWithCode(101), "^internal fault: terminate called without an active exception\n$");
}

}  // namespace
}  // namespace corvale
