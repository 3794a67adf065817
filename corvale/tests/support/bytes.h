#pragma once
// Byte strings written as lists of byte values, for tests where the exact bytes are the point.

#include <initializer_list>
#include <string>

namespace corvale {

inline std::string bytes(std::initializer_list<unsigned> b) {
  std::string s;
  for (unsigned x : b) s.push_back(static_cast<char>(x));
  return s;
}

}  // namespace corvale
