#pragma once
// The rows of the tests' tab-separated data files: lines starting with '#' and empty lines are
// notes and spacing, every other line is one case of exactly `fields` fields.

#include <filesystem>
#include <cstddef>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/files.h"

namespace corvale::test {

inline std::vector<std::vector<std::string>> read_data_rows(const std::filesystem::path& file, std::size_t fields) {
  std::istringstream lines(read_file(file));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> row;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) row.push_back(field);
    if (row.size() != fields) {
      throw std::runtime_error(file.filename().string() + ": a row of " + std::to_string(row.size()) + " fields, not " +
                               std::to_string(fields) + ": " + line);
    }
    rows.push_back(row);
  }
  return rows;
}

// A field of words apart, such as command-line options, as its words.
inline std::vector<std::string> words_of(const std::string& field) {
  std::istringstream in(field);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

}  // namespace corvale::test
