#pragma once
// Asserts that an expression throws corvale::Error with exactly the given message.

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"

#define EXPECT_ERROR(expr, message)                                              \
  do {                                                                           \
    try {                                                                        \
      (void)(expr);                                                              \
      ADD_FAILURE() << #expr << " did not throw; expected: " << (message);       \
    } catch (const ::corvale::Error& e_) {                                       \
      EXPECT_EQ(std::string(e_.what()), std::string(message)) << #expr;         \
    }                                                                            \
  } while (0)
