#pragma once
// The search for the shortest integer-expression text whose value is a given natural number.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "core/bigint.h"

namespace corvale {

// The text chosen for each value whose search ran to its end, keyed by the value's decimal
// digits. One per top-level search; the first text found for a value stays for the whole search.
using DecomposeCache = std::unordered_map<std::string, std::string>;

// The shortest text found for n, at worst its decimal digits. depth is 0 at the top; the search
// recurses on smaller numbers down to depth 4. Never fails.
std::string decompose_integer_expression(const BigInt& n, std::uint64_t depth, DecomposeCache& cache);

// Keeps candidate in best when it is strictly shorter: on a tie the earlier text stays.
void keep_shorter_candidate(std::string& best, std::string candidate);

}  // namespace corvale
