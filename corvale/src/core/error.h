#pragma once
// The one error type of the engine: a message meant for the user, carried unchanged to main.

#include <stdexcept>
#include <string>

namespace corvale {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
  explicit Error(const char* message) : std::runtime_error(message) {}
};

}  // namespace corvale
