#pragma once
// Dotted version numbers, compared part by part as unsigned 64-bit values.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvale_gui {

// The parts of a version text still to be read, split at every "." with empty parts kept.
struct VersionParts {
  explicit VersionParts(std::string_view text) : rest(text) {}
  std::string_view rest;
  bool finished = false;
};

// The next part's value: digits with one optional leading "+"; a part that is empty, holds
// anything else or does not fit in 64 bits is 0. Nothing once every part has been read.
std::optional<std::uint64_t> next_version_component(VersionParts& parts);

// Every part of text, white space at both ends removed first; never empty ("" gives 0).
std::vector<std::uint64_t> parse_version(std::string_view text);

// Whether remote is newer than local: the first position where they differ decides, a missing
// part counting as 0.
bool is_newer_version(const std::vector<std::uint64_t>& remote, const std::vector<std::uint64_t>& local);

}  // namespace corvale_gui
